// Background pictures: a 3840 x 2160 JPEG decoded, resampled to the texture
// size of each detail level, and loaded whole (decode, resample, upload) in
// an offscreen OpenGL context.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <string>

#include "scene/BackgroundPictures.h"
#include "scene/Picture.h"
#include "tests/support/OffscreenGL.h"
#include "util/Texture.h"

namespace {

constexpr int kWidth = 3840, kHeight = 2160;

// A photograph-like picture (smooth gradients with fine noise, so the JPEG
// is not trivially compressible), written once per run and removed at exit.
class BenchPicture {
 public:
  BenchPicture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "wingdrift-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return;
    folder_ = pattern;
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, false, 8, kWidth, kHeight);
    guint8* pixels = gdk_pixbuf_get_pixels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    unsigned noise = 12345;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        noise = noise * 1103515245u + 12345u;
        const int grain = static_cast<int>((noise >> 16) % 24);
        guint8* px = pixels + y * stride + x * 3;
        px[0] = static_cast<guint8>((x * 200 / kWidth) + grain);
        px[1] = static_cast<guint8>((y * 200 / kHeight) + grain);
        px[2] = static_cast<guint8>(128 + 100 * std::sin(x * 0.01 + y * 0.005));
      }
    path_ = folder_ + "/picture.jpg";
    if (!gdk_pixbuf_save(pixbuf, path_.c_str(), "jpeg", nullptr, "quality", "90", nullptr)) path_.clear();
    g_object_unref(pixbuf);
  }
  ~BenchPicture() {
    std::error_code ec;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
  }
  const char* path() const { return path_.c_str(); }
  bool ok() const { return !path_.empty(); }

 private:
  std::string folder_;
  std::string path_;
};

const BenchPicture& Jpeg() {
  static BenchPicture picture;
  return picture;
}

OffscreenGL& Context() {
  static OffscreenGL& gl = *new OffscreenGL;  // kept to exit, as in the tests
  if (gl.width() == 0) gl.Create(64, 64);
  return gl;
}

int MaxTextureSize() {
  GLint max = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
  return max;
}

void BM_DecodePicture(benchmark::State& state) {
  if (!Jpeg().ok()) return state.SkipWithError("could not write the JPEG");
  for (auto _ : state) {
    Picture picture;
    if (!picture.Decode(Jpeg().path())) return state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(picture.pixels());
  }
}
BENCHMARK(BM_DecodePicture)->Unit(benchmark::kMillisecond);

void BM_ResamplePicture(benchmark::State& state) {
  if (!Jpeg().ok() || Context().width() == 0) return state.SkipWithError("no picture or no GL context");
  Picture picture;
  if (!picture.Decode(Jpeg().path())) return state.SkipWithError("decode failed");
  uint32_t width = 0, height = 0;
  ChooseTextureSize(static_cast<int>(state.range(0)), picture.width(), picture.height(), MaxTextureSize(), &width,
                    &height);
  const size_t bytes = size_t{width} * height * picture.channels();
  std::unique_ptr<uint8_t[]> texture(new uint8_t[bytes]);
  for (auto _ : state) {
    ResamplePicture(picture.pixels(), picture.width(), picture.height(), picture.rowBytes(), picture.channels(),
                    texture.get(), width, height);
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::to_string(width) + "x" + std::to_string(height));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_ResamplePicture)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The whole load, GL upload included (glFinish waits for it).
void BM_LoadPicFile(benchmark::State& state) {
  if (!Jpeg().ok() || Context().width() == 0) return state.SkipWithError("no picture or no GL context");
  for (auto _ : state) {
    Texture texture;
    if (!loadPicFile(Jpeg().path(), &texture, static_cast<int>(state.range(0))))
      return state.SkipWithError("loadPicFile failed");
    glFinish();
  }
}
BENCHMARK(BM_LoadPicFile)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
