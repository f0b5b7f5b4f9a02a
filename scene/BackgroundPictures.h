#pragma once
// Background pictures from files: a random picture from a folder, decoded and
// stretched into a texture of a fixed or power-of-two size.
//
// File names are matched by suffix in any letter case: ".jpg", ".jpeg",
// ".gif" and ".png" (a name must be longer than its suffix; cameras write
// ".JPG"). Folders are listed in the order the file system returns; only
// regular files (or links to them) count, never a folder, a FIFO or a device.
#include <cstddef>
#include <cstdint>
#include <string>

struct Texture;

// Room for any file name of a folder entry (NAME_MAX plus the terminator).
inline constexpr size_t kPictureNameSize = 256;

// Number of regular files of `folder` whose names end in `extension`; 0
// when the folder cannot be listed.
int CountFiles(const char* folder, const char* extension);

// Copies the name of the n-th (from 0) entry ending in `extension`, in
// listing order, into `name` of `nameSize` bytes. False when there is no such
// entry, the folder cannot be listed, or the name does not fit (a cut name
// would name another file).
bool FindNthFile(const char* folder, char* name, size_t nameSize, const char* extension, int n);

// Chooses one of the folder's ".jpg", ".jpeg", ".gif" and ".png" files with rand()
// (every file equally likely) and copies its name into `name`. False when
// the folder has none.
bool ChooseRandomImageFile(const char* folder, char* name, size_t nameSize);

// Loads a random picture of `folder` with loadPicFile. The path is the folder
// and the name joined with "/" unless the folder already ends in one. On
// failure `why` (may be null) says what went wrong, naming the folder or the
// picture: 'the picture folder "F" has no .jpg, .jpeg, .gif or .png
// picture', '... cannot be read (reason)', or 'the picture "P" did not
// decode' (any loadPicFile reason).
bool LoadPicture(const char* folder, Texture* texture, int detail, std::string* why = nullptr);

// Decodes the picture file at `path` (UTF-8) at the size `detail` chooses
// (ChooseTextureSize; the picture is stretched to it with filtering) and
// builds it as an opaque GL texture in `texture`, texture row 0 holding the
// picture's bottom row, wrapped clamp-to-edge. Pictures with alpha become
// GL_RGBA, others GL_RGB. Afterwards `width` and `height` hold the
// picture's own size, not the texture's; the record's previous GL texture,
// if any, is deleted. False, with the record untouched, when the file is not
// a regular file, cannot be decoded whole, is too large (kMaxPicturePixels)
// or the texture cannot be built; `why` (may be null) then says which in a
// few words ("did not decode"). Needs the GL context current.
bool loadPicFile(const char* path, Texture* texture, int detail, std::string* why = nullptr);

// The texture size for a picture: detail 0 gives 512 x 512, 1 gives
// 1024 x 1024, any other value makes each side the power of two nearest to
// the picture's side on a logarithmic scale, 2^floor(log2(side) + 0.5), but
// at most `maxTextureSize` (GL_MAX_TEXTURE_SIZE); a texture above the
// builder's pixel limit (kMaxTgaPixels) then halves its longer side until it
// fits.
void ChooseTextureSize(int detail, uint32_t pictureWidth, uint32_t pictureHeight, int maxTextureSize,
                       uint32_t* width, uint32_t* height);

// Nearest-neighbour resampling of a picture (rows top row first, `rowBytes`
// apart, `channels` bytes per pixel: 3 or 4) into a tightly packed texture of
// the same channel count, bottom row first: texture pixel (x, y) takes
// picture column trunc(x * rx) and row trunc((height - 1 - y) * ry), with
// rx = pictureWidth / width and ry = pictureHeight / height in single
// precision. The fourth byte of every texture pixel is 255. `texture` holds
// width * height * channels bytes.
void ResamplePicture(const uint8_t* picture, uint32_t pictureWidth, uint32_t pictureHeight, size_t rowBytes,
                     uint32_t channels, uint8_t* texture, uint32_t width, uint32_t height);
