#include "datafiles/BFLYDATA.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "butterflies/ONEBFLY.h"
#include "models/MS3D.h"
#include "util/Diagnostics.h"
#include "util/SETTINGS.h"

namespace {

// Directory type of an image lump.
constexpr uint32_t kImageLump = 1;

bool IsImageLump(const BFLYFILE& file, int lump) {
  return lump >= 0 && static_cast<size_t>(lump) < file.directory.size() &&
         file.directory[lump].type == kImageLump;
}

// Index of the last skeleton joint named exactly `name`, or 0.
int32_t LastJointNamed(const MS3D& model, const char* name) {
  int32_t found = 0;
  for (size_t i = 0; i < model.joints.size(); ++i)
    if (std::strcmp(model.joints[i].name, name) == 0) found = static_cast<int32_t>(i);
  return found;
}

// The pixels of a texture before its upload frees them.
struct PixelCopy {
  std::unique_ptr<uint8_t[]> bytes;
  uint32_t width = 0, height = 0, bytesPerPixel = 0;
};

bool CopyPixels(const Texture& t, PixelCopy* out) {
  out->width = t.width;
  out->height = t.height;
  out->bytesPerPixel = t.bpp / 8;
  const size_t size = size_t{t.width} * t.height * out->bytesPerPixel;
  out->bytes.reset(new (std::nothrow) uint8_t[size]);
  if (!out->bytes) return false;
  std::memcpy(out->bytes.get(), t.imageData.get(), size);
  return true;
}

// The texel nearest each vertex's texture coordinates (wrapped as the
// texture repeats), RGBA.
std::vector<uint8_t> TexelsUnder(const PixelCopy& p, const std::vector<MODELVERTEX>& vertices) {
  std::vector<uint8_t> colours(vertices.size() * 4, 255);
  if (!p.bytes || p.width == 0 || p.height == 0 || p.bytesPerPixel < 3) return colours;
  for (size_t v = 0; v < vertices.size(); ++v) {
    auto wrap = [](float c, uint32_t n) {
      if (!std::isfinite(c)) return uint32_t{0};
      const double f = c - std::floor(c);
      return std::min(n - 1, static_cast<uint32_t>(f * n));
    };
    const uint32_t x = wrap(vertices[v].s, p.width), y = wrap(vertices[v].t, p.height);
    const uint8_t* texel = &p.bytes[(size_t{y} * p.width + x) * p.bytesPerPixel];
    std::memcpy(&colours[v * 4], texel, 3);
  }
  return colours;
}

}  // namespace

BFLYDATA::BFLYDATA() = default;
BFLYDATA::~BFLYDATA() = default;

bool BFLYDATA::Load(BFLYFILE* file, float loadSize) {
  if (!file) return false;

  MS3D model;
  if (!file->SeekLump(0) || !model.LoadFromFStream(&file->stream)) return false;

  // The scale divides by (2 - size): the size factor is limited here, where
  // it is used, whatever the caller passed.
  const float minSize = static_cast<float>(kMinBFlySize) / 100.0f;
  const float maxSize = static_cast<float>(kMaxBFlySize) / 100.0f;
  size = loadSize >= minSize ? (loadSize <= maxSize ? loadSize : maxSize) : minSize;
  const double scale = file->header.modelScale / (100.0 + 100.0 * (1.0 - static_cast<double>(size)));
  model.Scale(static_cast<float>(scale));

  model.InitialSetup();
  animTemplate.reset(new (std::nothrow) ANIMATIONTEMPLATE);
  if (!animTemplate || !animTemplate->Setup(&model)) return false;

  Texture alpha;
  const bool sharedAlpha = file->header.hasAlphaLump != 0;
  const int64_t slots = static_cast<int64_t>(file->header.lumpCount) - (sharedAlpha ? 2 : 1);
  if (slots < 1) return false;
  textures.reset(new (std::nothrow) Texture[slots]);
  if (!textures) {
    ERRORCLOSE("Unable to allocate memory!");
    return false;
  }
  // The reader holds exactly lumpCount directory entries, so the count fits.
  textureCount = static_cast<int32_t>(slots);

  std::vector<PixelCopy> pixels(static_cast<size_t>(textureCount));
  if (sharedAlpha && (!file->SeekLump(1) || !LoadTGA2(&alpha, &file->stream))) return false;
  for (int k = 0; k < textureCount; ++k) {
    const int lump = k + (sharedAlpha ? 2 : 1);
    if (!IsImageLump(*file, lump)) continue;
    if (!file->SeekLump(lump) || !LoadTGA2(&textures[k], &file->stream)) return false;
    if (!CopyPixels(textures[k], &pixels[static_cast<size_t>(k)])) {
      ERRORCLOSE("Unable to allocate memory!");
      return false;
    }
    if (!(sharedAlpha ? BuildTGATextureWithAlpha(&textures[k], &alpha)
                      : BuildTexture(&textures[k], file->directory[k].alphaMode)))
      return false;
  }

  prototype.reset(new (std::nothrow) ONEBFLY);
  if (!prototype) return false;
  const uint32_t* texture = &textures[std::rand() % textureCount].texID;
  if (!prototype->Setup(animTemplate.get(), &model, texture)) return false;
  vertexTexels.clear();
  for (const PixelCopy& p : pixels) {
    vertexTexels.push_back(p.bytes ? TexelsUnder(p, prototype->vertexBuffer) : std::vector<uint8_t>());
  }

  radius = 0.0f;
  for (const MS3D_VERTEX& v : model.vertices) {
    for (float c : v.vertex) {
      if (std::fabs(c) > radius) radius = std::fabs(c);
    }
  }

  wingLeftJoint = LastJointNamed(model, "wingl");
  wingRightJoint = LastJointNamed(model, "wingr");
  return true;
}
