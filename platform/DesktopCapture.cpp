#include "platform/DesktopCapture.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>

int CaptureSizeCap(int detail, int glMaxTextureSize) {
  if (detail == 0) return 512;
  if (detail == 1) return 1024;
  return glMaxTextureSize;
}

int CaptureTextureSide(int screenSide, int cap) {
  if (screenSide < 1 || cap < 1) return 0;
  const double exponent = std::floor(std::log2(static_cast<double>(screenSide)) + 0.5);
  // A side of 2^31 or more is beyond any cap an int can hold.
  if (exponent >= 31) return cap;
  return std::min(1 << static_cast<int>(exponent), cap);
}

void FlipRows(uint8_t* pixels, size_t rowBytes, int height) {
  if (pixels == nullptr || height < 2 || rowBytes == 0) return;
  std::vector<uint8_t> row(rowBytes);
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    uint8_t* a = pixels + static_cast<size_t>(top) * rowBytes;
    uint8_t* b = pixels + static_cast<size_t>(bottom) * rowBytes;
    std::memcpy(row.data(), a, rowBytes);
    std::memcpy(a, b, rowBytes);
    std::memcpy(b, row.data(), rowBytes);
  }
}

bool HasNonBlackPixel(const uint8_t* rgba, size_t pixelCount) {
  if (rgba == nullptr) return false;
  for (size_t i = 0; i < pixelCount; ++i, rgba += 4) {
    if ((rgba[0] | rgba[1] | rgba[2]) != 0) return true;
  }
  return false;
}

namespace {

// Fixed-point weights of one axis of the scaling: destination pixel i takes
// `count[i]` source pixels from `first[i]` on, with weights (in units of
// 1/kWeightOne) that sum to kWeightOne.
constexpr int kWeightBits = 14;
constexpr uint32_t kWeightOne = uint32_t{1} << kWeightBits;

struct AxisWeights {
  std::vector<int> first;
  std::vector<int> count;
  std::vector<uint16_t> weights;  // `taps` per destination pixel
  int taps = 0;
};

// GdkPixbuf's bilinear filtering: shrinking (or keeping the size), each
// destination pixel is the average of the source area it covers; growing,
// linear interpolation between pixel centres, the edge pixels repeating
// beyond them.
AxisWeights WeightsFor(int sourceSize, int destSize) {
  AxisWeights a;
  const double scale = static_cast<double>(sourceSize) / destSize;  // source pixels per destination pixel
  const bool grow = destSize > sourceSize;
  a.taps = grow ? 2 : static_cast<int>(std::ceil(scale)) + 1;
  a.first.resize(static_cast<size_t>(destSize));
  a.count.resize(static_cast<size_t>(destSize));
  a.weights.assign(static_cast<size_t>(destSize) * static_cast<size_t>(a.taps), 0);
  std::vector<double> w(static_cast<size_t>(a.taps));
  for (int i = 0; i < destSize; ++i) {
    int first = 0, last = 0;
    if (grow) {
      const double at = std::clamp((i + 0.5) * scale - 0.5, 0.0, sourceSize - 1.0);
      first = std::min(static_cast<int>(at), sourceSize - 1);
      last = std::min(first + 1, sourceSize - 1);
      w[0] = 1 - (at - first);
      w[1] = at - first;
    } else {
      const double from = i * scale, to = std::min((i + 1) * scale, static_cast<double>(sourceSize));
      first = static_cast<int>(from);
      last = std::min(static_cast<int>(std::ceil(to)) - 1, first + a.taps - 1);
      for (int k = first; k <= last; ++k) {
        w[static_cast<size_t>(k - first)] = std::min<double>(k + 1, to) - std::max<double>(k, from);
      }
    }
    double sum = 0;
    for (int k = first; k <= last; ++k) sum += w[static_cast<size_t>(k - first)];
    uint16_t* out = &a.weights[static_cast<size_t>(i) * static_cast<size_t>(a.taps)];
    uint32_t total = 0;
    int biggest = 0;
    for (int k = first; k <= last; ++k) {
      const auto q =
          static_cast<uint16_t>(std::lround(w[static_cast<size_t>(k - first)] / sum * kWeightOne));
      out[k - first] = q;
      total += q;
      if (q > out[biggest]) biggest = k - first;
    }
    // Rounding left over goes to the heaviest tap: weights sum to one exactly.
    out[biggest] = static_cast<uint16_t>(out[biggest] + kWeightOne - total);
    a.first[static_cast<size_t>(i)] = first;
    a.count[static_cast<size_t>(i)] = last - first + 1;
  }
  return a;
}

// Scales as ScaleForTexture does and hands each row to `sink` as RGBA bytes
// with its texture row (0 the bottom), from the top of the screen down.
bool ScaleRows(const PackedPixels& source, int width, int height,
               const std::function<void(int row, const uint8_t* rgba)>& sink) {
  if (!sink || !source.Valid() || width < 1 || height < 1) return false;
  for (int shift : {source.redShift, source.greenShift, source.blueShift}) {
    if (shift < 0 || shift > 24) return false;
  }
  const AxisWeights across = WeightsFor(source.width, width);
  const AxisWeights down = WeightsFor(source.height, height);
  const size_t rowValues = static_cast<size_t>(width) * 3;

  // Source rows filtered across, as R, G, B in units of 1/256, kept in a
  // ring: each destination row needs `down.taps` consecutive ones at most,
  // and the rows it needs only ever move down.
  const size_t ringRows = static_cast<size_t>(down.taps);
  std::vector<uint16_t> ring(ringRows * rowValues);
  std::vector<int> ringHolds(ringRows, -1);
  const auto filteredRow = [&](int y) -> const uint16_t* {
    const size_t slot = static_cast<size_t>(y) % ringRows;
    uint16_t* row = &ring[slot * rowValues];
    if (ringHolds[slot] == y) return row;
    ringHolds[slot] = y;
    const uint8_t* src = source.pixels + static_cast<size_t>(y) * source.stride;
    const int rs = source.redShift, gs = source.greenShift, bs = source.blueShift;
    for (int x = 0; x < width; ++x) {
      const size_t at = static_cast<size_t>(x);
      const uint16_t* w = &across.weights[at * static_cast<size_t>(across.taps)];
      const uint8_t* p = src + static_cast<size_t>(across.first[at]) * 4;
      uint32_t r = 0, g = 0, b = 0;
      for (int t = 0; t < across.count[at]; ++t, p += 4) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        r += w[t] * ((v >> rs) & 0xFFu);
        g += w[t] * ((v >> gs) & 0xFFu);
        b += w[t] * ((v >> bs) & 0xFFu);
      }
      constexpr int kDrop = kWeightBits - 8;
      row[at * 3] = static_cast<uint16_t>((r + (1u << (kDrop - 1))) >> kDrop);
      row[at * 3 + 1] = static_cast<uint16_t>((g + (1u << (kDrop - 1))) >> kDrop);
      row[at * 3 + 2] = static_cast<uint16_t>((b + (1u << (kDrop - 1))) >> kDrop);
    }
    return row;
  };

  std::vector<uint32_t> sum(rowValues);
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * 4);
  for (int y = 0; y < height; ++y) {
    const size_t at = static_cast<size_t>(y);
    const uint16_t* w = &down.weights[at * static_cast<size_t>(down.taps)];
    std::fill(sum.begin(), sum.end(), 0u);
    for (int t = 0; t < down.count[at]; ++t) {
      const uint16_t* row = filteredRow(down.first[at] + t);
      const uint32_t weight = w[t];
      for (size_t i = 0; i < rowValues; ++i) sum[i] += weight * row[i];
    }
    uint8_t* dst = rgba.data();
    constexpr int kDrop = kWeightBits + 8;
    for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
      dst[x * 4] = static_cast<uint8_t>((sum[x * 3] + (1u << (kDrop - 1))) >> kDrop);
      dst[x * 4 + 1] = static_cast<uint8_t>((sum[x * 3 + 1] + (1u << (kDrop - 1))) >> kDrop);
      dst[x * 4 + 2] = static_cast<uint8_t>((sum[x * 3 + 2] + (1u << (kDrop - 1))) >> kDrop);
      dst[x * 4 + 3] = 255;
    }
    // Screen row y is texture row height - 1 - y: OpenGL's first row is the
    // bottom one.
    sink(height - 1 - y, dst);
  }
  return true;
}

}  // namespace

bool ScaleForTexture(const PackedPixels& source, int width, int height, std::vector<uint8_t>* out) {
  if (out == nullptr || width < 1 || height < 1) return false;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  out->resize(rowBytes * static_cast<size_t>(height));
  return ScaleRows(source, width, height, [&](int row, const uint8_t* rgba) {
    std::memcpy(out->data() + static_cast<size_t>(row) * rowBytes, rgba, rowBytes);
  });
}

bool ScaleForTexture(const RgbaImage& source, int width, int height, std::vector<uint8_t>* out) {
  return ScaleForTexture(PackedPixels::Of(source), width, height, out);
}

void UploadDesktopTexture(unsigned* name, int width, int height, const uint8_t* rgba) {
  if (name == nullptr) return;
  while (glGetError() != GL_NO_ERROR) {
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (*name == 0) glGenTextures(1, name);
  glBindTexture(GL_TEXTURE_2D, *name);
  // Stretched over the whole view with linear filtering, a repeating texture
  // would blend the opposite edge into the outermost pixels.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, name);
    *name = 0;
  }
}

bool IsWaylandSession(const char* waylandDisplay, const char* sessionType) {
  if (waylandDisplay != nullptr && waylandDisplay[0] != '\0') return true;
  return sessionType != nullptr && std::strcmp(sessionType, "wayland") == 0;
}

namespace {

bool Fail(unsigned* name, CaptureResult* result, const char* why) {
  if (*name != 0) glDeleteTextures(1, name);
  *name = 0;
  if (result != nullptr) {
    result->why = why;
    if (IsWaylandSession(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE"))) {
      result->why += " (a Wayland session cannot be captured)";
    }
  }
  return false;
}

}  // namespace

bool PrepareDesktopCapture(DesktopSource& source, const ViewRect& area, int detail,
                           PreparedCapture* out) {
  if (out == nullptr) return false;
  PackedPixels image;
  if (!source.GrabPixels(area, &image) || !image.Valid()) return false;
  const int cap = CaptureSizeCap(detail, kPreparedTextureLimit);
  PreparedCapture p;
  p.area = area;
  p.pictureWidth = image.width;
  p.pictureHeight = image.height;
  p.width = CaptureTextureSide(image.width, cap);
  p.height = CaptureTextureSide(image.height, cap);
  if (p.width < 1 || p.height < 1 || !ScaleForTexture(image, p.width, p.height, &p.rgba)) {
    return false;
  }
  p.lit = HasNonBlackPixel(p.rgba.data(), p.rgba.size() / 4);
  *out = std::move(p);
  return true;
}

bool CaptureDesktopTexture(DesktopSource& source, const ViewRect& area, int detail, unsigned* name,
                           CaptureResult* result, std::vector<PreparedCapture>* prepared) {
  if (name == nullptr) return false;
  GLint maxSize = 0;
  if (detail != 0 && detail != 1) glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  const int cap = CaptureSizeCap(detail, maxSize);
  if (prepared != nullptr) {
    for (auto it = prepared->begin(); it != prepared->end(); ++it) {
      if (it->area.x != area.x || it->area.y != area.y || it->area.width != area.width ||
          it->area.height != area.height ||
          it->width != CaptureTextureSide(it->pictureWidth, cap) ||
          it->height != CaptureTextureSide(it->pictureHeight, cap)) {
        continue;
      }
      const PreparedCapture p = std::move(*it);
      prepared->erase(it);
      if (!p.lit) return Fail(name, result, "the capture came out black");
      UploadDesktopTexture(name, p.width, p.height, p.rgba.data());
      if (*name == 0) return Fail(name, result, "OpenGL refused the texture");
      if (result != nullptr) {
        result->width = p.pictureWidth;
        result->height = p.pictureHeight;
      }
      return true;
    }
  }
  PackedPixels image;
  if (!source.GrabPixels(area, &image) || !image.Valid()) {
    return Fail(name, result, "the screen could not be read");
  }
  const int width = CaptureTextureSide(image.width, cap);
  const int height = CaptureTextureSide(image.height, cap);
  if (width < 1 || height < 1) return Fail(name, result, "the picture could not be scaled");
  // The texture is allocated first and filled in bands of rows as they are
  // scaled: no copy of the whole texture in memory.
  UploadDesktopTexture(name, width, height, nullptr);
  if (*name == 0) return Fail(name, result, "OpenGL refused the texture");
  constexpr int kBandRows = 32;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  std::vector<uint8_t> band(rowBytes * kBandRows);
  int bandRows = 0;  // rows held, the last one lowest
  bool lit = false;
  // Rows arrive from the top of the texture down.
  const bool scaled = ScaleRows(image, width, height, [&](int row, const uint8_t* rgba) {
    lit = lit || HasNonBlackPixel(rgba, static_cast<size_t>(width));
    std::memcpy(band.data() + static_cast<size_t>(kBandRows - 1 - bandRows) * rowBytes, rgba,
                rowBytes);
    ++bandRows;
    if (bandRows == kBandRows || row == 0) {
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, row, width, bandRows, GL_RGBA, GL_UNSIGNED_BYTE,
                      band.data() + static_cast<size_t>(kBandRows - bandRows) * rowBytes);
      bandRows = 0;
    }
  });
  const int pictureWidth = image.width, pictureHeight = image.height;
  image = PackedPixels{};  // the screen's memory goes back at once
  if (!scaled) return Fail(name, result, "the picture could not be scaled");
  if (!lit) return Fail(name, result, "the capture came out black");
  if (result != nullptr) {
    result->width = pictureWidth;
    result->height = pictureHeight;
  }
  return true;
}
