#include "scene/BackgroundPictures.h"

#include <GL/gl.h>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "scene/Picture.h"
#include "util/CString.h"
#include "util/Texture.h"

namespace {

constexpr const char* kPictureExtensions[] = {".jpg", ".jpeg", ".gif", ".png"};
constexpr int kExtensionCount = sizeof kPictureExtensions / sizeof kPictureExtensions[0];

// The smallest GL_MAX_TEXTURE_SIZE any OpenGL implementation may report.
constexpr int kMinMaxTextureSize = 64;

bool HasExtension(const char* name, const char* extension) {
  const size_t nameLength = std::strlen(name), extensionLength = std::strlen(extension);
  return nameLength > extensionLength &&
         strcasecmp(name + nameLength - extensionLength, extension) == 0;
}

// A picture candidate: the name has the extension and names a regular file
// (links followed). Never a folder, a FIFO or a device.
bool IsPictureEntry(DIR* dir, const dirent* entry, const char* extension) {
  if (!HasExtension(entry->d_name, extension)) return false;
  if (entry->d_type != DT_REG && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
    return false;
  struct stat st;
  return fstatat(dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

uint32_t PowerOfTwoSide(uint32_t side, int maxTextureSize) {
  const double exponent = std::floor(std::log2(static_cast<double>(std::max<uint32_t>(side, 1))) + 0.5);
  const uint64_t power = uint64_t{1} << static_cast<int>(std::min(exponent, 40.0));
  return static_cast<uint32_t>(std::min<uint64_t>(power, static_cast<uint64_t>(maxTextureSize)));
}

}  // namespace

int CountFiles(const char* folder, const char* extension) {
  if (!folder || !extension) return 0;
  DIR* dir = opendir(folder);
  if (!dir) return 0;
  int count = 0;
  while (const dirent* entry = readdir(dir))
    if (IsPictureEntry(dir, entry, extension)) ++count;
  closedir(dir);
  return count;
}

bool FindNthFile(const char* folder, char* name, size_t nameSize, const char* extension, int n) {
  const int count = CountFiles(folder, extension);
  if (count < 1 || count < n || !name || nameSize == 0) return false;
  DIR* dir = opendir(folder);
  if (!dir) return false;
  bool found = false;
  int index = 0;
  while (const dirent* entry = readdir(dir)) {
    if (!IsPictureEntry(dir, entry, extension)) continue;
    if (index++ != n) continue;
    if (std::strlen(entry->d_name) < nameSize) {
      CopyCString(name, nameSize, entry->d_name);
      found = true;
    }
    break;
  }
  closedir(dir);
  return found;
}

bool ChooseRandomImageFile(const char* folder, char* name, size_t nameSize) {
  int counts[kExtensionCount] = {};
  int total = 0;
  for (int i = 0; i < kExtensionCount; ++i) total += counts[i] = CountFiles(folder, kPictureExtensions[i]);
  if (total < 1) return false;
  int r = std::rand() % total;
  for (int i = 0; i < kExtensionCount; ++i) {
    if (r < counts[i]) return FindNthFile(folder, name, nameSize, kPictureExtensions[i], r);
    r -= counts[i];
  }
  return false;
}

bool LoadPicture(const char* folder, Texture* texture, int detail, std::string* why) {
  const auto fail = [why](const std::string& reason) {
    if (why != nullptr) *why = reason;
    return false;
  };
  if (!folder) return fail("no folder");
  char name[kPictureNameSize] = {};
  if (!ChooseRandomImageFile(folder, name, sizeof name)) {
    DIR* dir = opendir(folder);
    if (!dir) return fail(std::string("the picture folder \"") + folder + "\" cannot be read (" +
                          std::strerror(errno) + ")");
    closedir(dir);
    return fail(std::string("the picture folder \"") + folder +
                "\" has no .jpg, .jpeg, .gif or .png picture");
  }
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  std::string reason;
  if (loadPicFile(path.c_str(), texture, detail, &reason)) return true;
  return fail("the picture \"" + path + "\" " + reason);
}

void ChooseTextureSize(int detail, uint32_t pictureWidth, uint32_t pictureHeight, int maxTextureSize,
                       uint32_t* width, uint32_t* height) {
  if (detail == 0 || detail == 1) {
    *width = *height = detail == 0 ? 512 : 1024;
    return;
  }
  maxTextureSize = std::max(maxTextureSize, kMinMaxTextureSize);
  *width = PowerOfTwoSide(pictureWidth, maxTextureSize);
  *height = PowerOfTwoSide(pictureHeight, maxTextureSize);
  // Within the texture builder's pixel limit: the longer side halves first,
  // so the texture keeps as much of the picture as fits.
  while (uint64_t{*width} * *height > kMaxTgaPixels) {
    if (*width >= *height) {
      *width /= 2;
    } else {
      *height /= 2;
    }
  }
}

void ResamplePicture(const uint8_t* picture, uint32_t pictureWidth, uint32_t pictureHeight, size_t rowBytes,
                     uint32_t channels, uint8_t* texture, uint32_t width, uint32_t height) {
  if (!picture || !texture || pictureWidth == 0 || pictureHeight == 0 || width == 0 || height == 0) return;
  const float rx = static_cast<float>(pictureWidth) / static_cast<float>(width);
  const float ry = static_cast<float>(pictureHeight) / static_cast<float>(height);
  // Single-precision products can round up to the side itself for very large
  // pictures; the last column or row stands in.
  std::vector<size_t> columnOffset(width);
  for (uint32_t x = 0; x < width; ++x)
    columnOffset[x] = std::min(static_cast<uint32_t>(static_cast<float>(x) * rx), pictureWidth - 1) * size_t{channels};

  const size_t textureRowBytes = size_t{width} * channels;
  const uint8_t* previousSource = nullptr;
  for (uint32_t row = 0; row < height; ++row) {
    const uint32_t step = height - 1 - row;
    const uint32_t sourceRow = std::min(static_cast<uint32_t>(static_cast<float>(step) * ry), pictureHeight - 1);
    const uint8_t* src = picture + size_t{sourceRow} * rowBytes;
    uint8_t* dst = texture + size_t{row} * textureRowBytes;
    if (src == previousSource) {  // enlarging: the same picture row again
      std::memcpy(dst, dst - textureRowBytes, textureRowBytes);
      continue;
    }
    previousSource = src;
    if (channels == 4) {
      for (uint32_t x = 0; x < width; ++x, dst += 4) {
        const uint8_t* px = src + columnOffset[x];
        dst[0] = px[0];
        dst[1] = px[1];
        dst[2] = px[2];
        dst[3] = 255;
      }
    } else {
      for (uint32_t x = 0; x < width; ++x, dst += 3) {
        const uint8_t* px = src + columnOffset[x];
        dst[0] = px[0];
        dst[1] = px[1];
        dst[2] = px[2];
      }
    }
  }
}

bool loadPicFile(const char* path, Texture* texture, int detail, std::string* why) {
  if (!texture) return false;
  GLint maxTextureSize = 0;
  if (detail != 0 && detail != 1) glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
  // Decoded straight at the texture's size: a huge picture costs about what
  // its texture costs.
  Picture picture;
  const Picture::SizeChooser choose = [&](uint32_t w, uint32_t h, uint32_t* tw, uint32_t* th) {
    ChooseTextureSize(detail, w, h, maxTextureSize, tw, th);
    return *tw > 0 && *th > 0;
  };
  if (!picture.DecodeAtSize(path, choose, why)) return false;
  const uint32_t width = picture.width(), height = picture.height();

  const uint32_t channels = picture.channels();
  Texture built;
  built.type = channels == 4 ? GL_RGBA : GL_RGB;
  built.bpp = channels * 8;
  built.width = width;
  built.height = height;
  built.imageData.reset(new (std::nothrow) uint8_t[size_t{width} * height * channels]);
  if (!built.imageData) {
    if (why != nullptr) *why = "is too large for the memory left";
    return false;
  }
  ResamplePicture(picture.pixels(), width, height, picture.rowBytes(), channels,
                  built.imageData.get(), width, height);
  const uint32_t pictureWidth = picture.ownWidth(), pictureHeight = picture.ownHeight();
  picture.Release();  // before the upload needs its own buffer

  if (!BuildTexture(&built, 0)) {
    if (why != nullptr) *why = "could not be made into a texture";
    return false;
  }
  // Stretched over the whole view, with linear filtering: a repeating
  // texture would blend the opposite edge into the outermost pixels.
  glBindTexture(GL_TEXTURE_2D, built.texID);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  built.width = pictureWidth;
  built.height = pictureHeight;
  *texture = std::move(built);
  return true;
}
