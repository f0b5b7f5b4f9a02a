#include "util/Texture.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <new>

#include "util/Diagnostics.h"
#include "util/RegularFile.h"
#include "util/StreamReader.h"

namespace {

constexpr char kErrorCaption[] = "ERROR";

// The first 12 header bytes of the two accepted kinds: no image ID, no colour
// map, no origin offset; type 2 (uncompressed) or 10 (run-length), true colour.
constexpr uint8_t uTGAcompare[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t cTGAcompare[12] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// A run-length packet covers at most this many pixels.
constexpr uint64_t kMaxPacketPixels = 128;

// Sizes of the image being read, all in 64 bits so that no product wraps.
struct TgaInfo {
  uint32_t bytesPerPixel = 0;
  uint64_t pixels = 0;     // width * height
  uint64_t imageSize = 0;  // bytes
};

bool Refuse(Texture* texture, const char* text, const char* caption = kErrorCaption) {
  texture->imageData.reset();
  MessageBox(nullptr, text, caption, 0);
  return false;
}

// A file stream must be open; any other stream (memory, string) counts as open.
bool StreamOpen(std::istream* stream) {
  if (!stream || !stream->rdbuf()) return false;
  if (auto* file = dynamic_cast<std::filebuf*>(stream->rdbuf())) return file->is_open();
  return true;
}

// The start both bodies share: the 6-byte info header, stored in the record
// before it is validated, then the sizes.
bool ReadInfo(Texture* texture, StreamReader& in, TgaInfo* info) {
  uint8_t b[6];
  if (!in.Bytes(b, sizeof b)) return Refuse(texture, "Could not read info header");
  texture->width = b[0] + 256u * b[1];
  texture->height = b[2] + 256u * b[3];
  texture->bpp = b[4];
  if (texture->width == 0 || texture->height == 0 || (texture->bpp != 24 && texture->bpp != 32))
    return Refuse(texture, "Invalid texture information");
  texture->type = texture->bpp == 24 ? GL_RGB : GL_RGBA;
  info->bytesPerPixel = texture->bpp / 8;
  info->pixels = uint64_t{texture->width} * texture->height;
  info->imageSize = info->pixels * info->bytesPerPixel;
  return true;
}

bool AllocateImage(Texture* texture, const TgaInfo& info) {
  if (info.pixels > kMaxTgaPixels) return Refuse(texture, "Could not allocate memory for image");
  texture->imageData.reset(new (std::nothrow) uint8_t[info.imageSize]);
  if (!texture->imageData) return Refuse(texture, "Could not allocate memory for image");
  return true;
}

// Stores `count` file pixels (B, G, R[, A]) from `src` as R, G, B[, A].
void StorePixels(uint8_t* dst, const uint8_t* src, uint64_t count, uint32_t bytesPerPixel,
                 bool repeatFirst) {
  for (uint64_t i = 0; i < count; ++i, dst += bytesPerPixel) {
    const uint8_t* px = repeatFirst ? src : src + i * bytesPerPixel;
    dst[0] = px[2];
    dst[1] = px[1];
    dst[2] = px[0];
    if (bytesPerPixel == 4) dst[3] = px[3];
  }
}

// Reads run-length packets until info.pixels pixels are stored; returns null
// on success or the message of the failure. With `out` null the packets are
// read but not stored: that finds the read at which a stream too short for
// the image gives out, without allocating the image. A packet that would run
// past the image stores only what fits and fails.
const char* DecodeRunLength(StreamReader& in, uint8_t* out, const TgaInfo& info) {
  const uint32_t bpp = info.bytesPerPixel;
  uint8_t packet[kMaxPacketPixels * 4];
  uint64_t stored = 0;
  while (stored < info.pixels) {
    const uint8_t h = in.U8();
    if (!in.ok()) return "Could not read RLE header";
    const uint64_t room = info.pixels - stored;
    uint64_t count = 0;
    if (h < 128) {
      // Raw packet: pixels are read one after another, so a packet that runs
      // past the image is caught at its first surplus pixel.
      count = uint64_t{h} + 1;
      const uint64_t wanted = std::min(count, room + 1);
      if (!in.Bytes(packet, wanted * bpp)) return "Could not read image data";
      if (out) StorePixels(out + stored * bpp, packet, std::min(count, room), bpp, false);
    } else {
      count = uint64_t{h} - 127;
      if (!in.Bytes(packet, bpp)) return "Could not read from file";
      if (out) StorePixels(out + stored * bpp, packet, std::min(count, room), bpp, true);
    }
    if (count > room) return "Too many pixels read";
    stored += count;
  }
  return nullptr;
}

// Sets the parameters every texture of the system uses: repeat, linear, no
// mipmaps.
void SetTextureParameters() {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

// Uploads `rgba` (width * height RGBA pixels) as a new texture named in
// texID and left bound. OpenGL refuses sides above GL_MAX_TEXTURE_SIZE and
// sizes it cannot hold; that is found out before and after the upload, so no
// refused texture is ever reported or left behind.
bool Upload(Texture* texture, const uint8_t* rgba) {
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  if (maxSide <= 0 || texture->width > static_cast<GLuint>(maxSide) ||
      texture->height > static_cast<GLuint>(maxSide))
    return false;
  const auto width = static_cast<GLsizei>(texture->width);
  const auto height = static_cast<GLsizei>(texture->height);
  glTexImage2D(GL_PROXY_TEXTURE_2D, 0, 4, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  GLint proxyWidth = 0;
  glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &proxyWidth);
  if (proxyWidth != width) return false;

  if (texture->texID != 0) {
    const GLuint old = texture->texID;
    glDeleteTextures(1, &old);
    texture->texID = 0;
  }
  GLuint name = 0;
  glGenTextures(1, &name);
  if (name == 0) return false;
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, 4, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  GLint storedWidth = 0, storedHeight = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &storedWidth);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &storedHeight);
  if (storedWidth != width || storedHeight != height) {
    glDeleteTextures(1, &name);
    return false;
  }
  SetTextureParameters();
  texture->texID = name;
  return true;
}

uint64_t PixelCount(const Texture& t) { return uint64_t{t.width} * t.height; }

// Bytes per pixel of a loaded record, by its pixel format.
uint32_t SourceBytesPerPixel(const Texture& t) { return t.type == GL_RGBA ? 4 : 3; }

std::unique_ptr<uint8_t[]> AllocateWorkBuffer(uint64_t pixels) {
  if (pixels > kMaxTgaPixels) return nullptr;
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[pixels * 4]);
}

}  // namespace

Texture::~Texture() { Release(); }

Texture::Texture(Texture&& other) noexcept
    : imageData(std::move(other.imageData)),
      bpp(other.bpp),
      width(other.width),
      height(other.height),
      texID(other.texID),
      type(other.type) {
  other.texID = 0;
}

Texture& Texture::operator=(Texture&& other) noexcept {
  if (this != &other) {
    Release();
    imageData = std::move(other.imageData);
    bpp = other.bpp;
    width = other.width;
    height = other.height;
    texID = other.texID;
    type = other.type;
    other.texID = 0;
  }
  return *this;
}

void Texture::Release() {
  imageData.reset();
  if (texID != 0) {
    const GLuint name = texID;
    glDeleteTextures(1, &name);
    texID = 0;
  }
}

bool LoadTGA2(Texture* texture, std::istream* stream) {
  if (!texture) return false;
  texture->imageData.reset();
  if (!StreamOpen(stream)) return Refuse(texture, "Could not open texture file");
  uint8_t header[12];
  {
    StreamReader in(stream);
    if (!in.Bytes(header, sizeof header)) return Refuse(texture, "Could not read file header");
  }
  if (std::memcmp(header, uTGAcompare, sizeof header) == 0)
    return LoadUncompressedTGA2(texture, stream);
  if (std::memcmp(header, cTGAcompare, sizeof header) == 0)
    return LoadCompressedTGA2(texture, stream);
  return Refuse(texture, "TGA file be type 2 or type 10 ", "Invalid Image");
}

bool LoadUncompressedTGA2(Texture* texture, std::istream* stream) {
  if (!texture) return false;
  texture->imageData.reset();
  StreamReader in(stream);
  TgaInfo info;
  if (!ReadInfo(texture, in, &info)) return false;
  if (!in.CanHold(info.imageSize, 1)) return Refuse(texture, "Could not read image data");
  if (!AllocateImage(texture, info)) return false;
  uint8_t* data = texture->imageData.get();
  if (!in.Bytes(data, info.imageSize)) return Refuse(texture, "Could not read image data");
  for (uint64_t i = 0; i < info.imageSize; i += info.bytesPerPixel) std::swap(data[i], data[i + 2]);
  return true;
}

bool LoadCompressedTGA2(Texture* texture, std::istream* stream) {
  if (!texture) return false;
  texture->imageData.reset();
  StreamReader in(stream);
  TgaInfo info;
  if (!ReadInfo(texture, in, &info)) return false;
  // Every packet holds at least one pixel value and covers at most 128
  // pixels, so fewer bytes than that cannot make the image. Reading the
  // packets without storing them finds the read that comes up short.
  const uint64_t packets = (info.pixels + kMaxPacketPixels - 1) / kMaxPacketPixels;
  if (!in.CanHold(packets, 1 + info.bytesPerPixel)) {
    const char* message = DecodeRunLength(in, nullptr, info);
    return Refuse(texture, message ? message : "Could not read RLE header");
  }
  if (!AllocateImage(texture, info)) return false;
  if (const char* message = DecodeRunLength(in, texture->imageData.get(), info))
    return Refuse(texture, message);
  return true;
}

bool LoadTGA(Texture* texture, const char* path) {
  if (!texture) return false;
  std::ifstream file;
  if (!OpenRegularFile(file, path)) return Refuse(texture, "Could not open texture file");
  return LoadTGA2(texture, &file);
}

bool BuildTexture(Texture* texture, int alphaMode) {
  if (!texture || !texture->imageData || PixelCount(*texture) == 0) return false;
  const uint64_t pixels = PixelCount(*texture);
  std::unique_ptr<uint8_t[]> work = AllocateWorkBuffer(pixels);
  if (!work) return false;
  const uint8_t* src = texture->imageData.get();
  const uint32_t srcBpp = SourceBytesPerPixel(*texture);
  const uint8_t key[3] = {src[0], src[1], src[2]};
  uint8_t* dst = work.get();
  for (uint64_t i = 0; i < pixels; ++i, src += srcBpp, dst += 4) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
    switch (alphaMode) {
      case 1:
        dst[3] = (src[0] == key[0] && src[1] == key[1] && src[2] == key[2]) ? 0 : 255;
        break;
      case 2:
        dst[3] = std::max({src[0], src[1], src[2]});
        break;
      default:
        dst[3] = 255;
        break;
    }
  }
  if (!Upload(texture, work.get())) return false;
  texture->imageData.reset();
  return true;
}

bool BuildTGATextureWithAlpha(Texture* texture, Texture* alpha) {
  if (!texture || !alpha || !texture->imageData || !alpha->imageData) return false;
  const uint64_t pixels = PixelCount(*texture);
  if (pixels == 0 || PixelCount(*alpha) < pixels) return false;
  std::unique_ptr<uint8_t[]> work = AllocateWorkBuffer(pixels);
  if (!work) return false;
  const uint8_t* src = texture->imageData.get();
  const uint8_t* mask = alpha->imageData.get();
  const uint32_t srcBpp = SourceBytesPerPixel(*texture);
  const uint32_t maskBpp = SourceBytesPerPixel(*alpha);
  uint8_t* dst = work.get();
  for (uint64_t i = 0; i < pixels; ++i, src += srcBpp, mask += maskBpp, dst += 4) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
    dst[3] = mask[0];
  }
  if (!Upload(texture, work.get())) return false;
  texture->imageData.reset();
  return true;
}
