#include "tools/content/RgbImage.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

uint8_t ToByte(float v) {
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

}  // namespace

RgbImage::RgbImage(int width, int height)
    : width_(width),
      height_(height),
      colour_(static_cast<size_t>(width) * height),
      alpha_(static_cast<size_t>(width) * height, 1.0f) {}

Rgb RgbImage::Get(int x, int y) const {
  x = std::clamp(x, 0, width_ - 1);
  y = std::clamp(y, 0, height_ - 1);
  return colour_[static_cast<size_t>(y) * width_ + x];
}

void RgbImage::Set(int x, int y, Rgb c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  colour_[static_cast<size_t>(y) * width_ + x] = c;
}

float RgbImage::Alpha(int x, int y) const {
  x = std::clamp(x, 0, width_ - 1);
  y = std::clamp(y, 0, height_ - 1);
  return alpha_[static_cast<size_t>(y) * width_ + x];
}

void RgbImage::SetAlpha(int x, int y, float a) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  alpha_[static_cast<size_t>(y) * width_ + x] = a;
}

std::vector<uint8_t> RgbImage::Bytes(bool withAlpha) const {
  const size_t n = withAlpha ? 4 : 3;
  std::vector<uint8_t> out(colour_.size() * n);
  for (size_t i = 0; i < colour_.size(); ++i) {
    out[i * n] = ToByte(colour_[i].r);
    out[i * n + 1] = ToByte(colour_[i].g);
    out[i * n + 2] = ToByte(colour_[i].b);
    if (withAlpha) out[i * n + 3] = ToByte(alpha_[i]);
  }
  return out;
}

TgaImage RgbImage::ToTga(bool withAlpha) const {
  TgaImage tga;
  tga.width = static_cast<uint16_t>(width_);
  tga.height = static_cast<uint16_t>(height_);
  tga.bpp = withAlpha ? 32 : 24;
  const std::vector<uint8_t> rows = Bytes(withAlpha);
  const size_t rowBytes = static_cast<size_t>(width_) * (withAlpha ? 4 : 3);
  tga.pixels.resize(rows.size());
  for (int y = 0; y < height_; ++y) {
    std::copy_n(rows.begin() + static_cast<std::ptrdiff_t>(y * rowBytes), rowBytes,
                tga.pixels.begin() + static_cast<std::ptrdiff_t>((height_ - 1 - y) * rowBytes));
  }
  return tga;
}

bool WritePng(const std::string& path, int width, int height, int channels,
              const std::vector<uint8_t>& pixels, std::string* error) {
  if (width <= 0 || height <= 0 || (channels != 3 && channels != 4) ||
      pixels.size() != static_cast<size_t>(width) * height * channels) {
    *error = "no picture to write";
    return false;
  }
  FilePtr file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    *error = "cannot write " + path;
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    *error = "out of memory";
    return false;
  }
  // libpng reports errors by longjmp; nothing with a destructor is created
  // between here and the end of the write.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    *error = "cannot write " + path;
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    png_write_row(png, pixels.data() + static_cast<size_t>(y) * width * channels);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file.get()) != 0) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

bool WriteJpeg(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
               int quality, std::string* error) {
  if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3) {
    *error = "no picture to write";
    return false;
  }
  FilePtr file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    *error = "cannot write " + path;
    return false;
  }
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file.get());
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + static_cast<size_t>(cinfo.next_scanline) *
                                                         width * 3);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  if (std::fflush(file.get()) != 0) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}
