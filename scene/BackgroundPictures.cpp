#include "scene/BackgroundPictures.h"

#include <GL/gl.h>
#include <dirent.h>

#include <algorithm>
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

constexpr const char* kPictureExtensions[] = {".jpg", ".gif", ".png"};

// The smallest GL_MAX_TEXTURE_SIZE any OpenGL implementation may report.
constexpr int kMinMaxTextureSize = 64;

bool HasExtension(const char* name, const char* extension) {
  const size_t nameLength = std::strlen(name), extensionLength = std::strlen(extension);
  return nameLength > extensionLength &&
         std::memcmp(name + nameLength - extensionLength, extension, extensionLength) == 0;
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
    if (HasExtension(entry->d_name, extension)) ++count;
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
    if (!HasExtension(entry->d_name, extension)) continue;
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
  int counts[3] = {};
  int total = 0;
  for (int i = 0; i < 3; ++i) total += counts[i] = CountFiles(folder, kPictureExtensions[i]);
  if (total < 1) return false;
  int r = std::rand() % total;
  for (int i = 0; i < 3; ++i) {
    if (r < counts[i]) return FindNthFile(folder, name, nameSize, kPictureExtensions[i], r);
    r -= counts[i];
  }
  return false;
}

bool LoadPicture(const char* folder, Texture* texture, int detail) {
  char name[kPictureNameSize] = {};
  if (!ChooseRandomImageFile(folder, name, sizeof name)) return false;
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return loadPicFile(path.c_str(), texture, detail);
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

bool loadPicFile(const char* path, Texture* texture, int detail) {
  if (!texture) return false;
  Picture picture;
  if (!picture.Decode(path)) return false;

  GLint maxTextureSize = 0;
  if (detail != 0 && detail != 1) glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
  uint32_t width = 0, height = 0;
  ChooseTextureSize(detail, picture.width(), picture.height(), maxTextureSize, &width, &height);
  if (uint64_t{width} * height > kMaxTgaPixels) return false;  // BuildTexture's own limit

  const uint32_t channels = picture.channels();
  Texture built;
  built.type = channels == 4 ? GL_RGBA : GL_RGB;
  built.bpp = channels * 8;
  built.width = width;
  built.height = height;
  built.imageData.reset(new (std::nothrow) uint8_t[size_t{width} * height * channels]);
  if (!built.imageData) return false;
  ResamplePicture(picture.pixels(), picture.width(), picture.height(), picture.rowBytes(), channels,
                  built.imageData.get(), width, height);
  const uint32_t pictureWidth = picture.width(), pictureHeight = picture.height();
  picture.Release();  // before the upload needs its own buffer

  if (!BuildTexture(&built, 0)) return false;
  built.width = pictureWidth;
  built.height = pictureHeight;
  *texture = std::move(built);
  return true;
}
