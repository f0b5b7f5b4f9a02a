// Where a frame of the scene differs from the one before, in window pixels.
#include <algorithm>
#include <cmath>

#include "datafiles/BFLYDATA.h"
#include "scene/SSMAIN.h"
#include "scene/Shadows.h"

namespace {

// Pixels added around every projected box: the rasteriser rounds single-
// precision positions where this code projects in double precision.
constexpr int kSpriteMargin = 2;
// A projected corner this close to the camera plane (clip w) cannot be
// placed on the screen.
constexpr double kMinClipW = 1e-3;

// 4 x 4, column-major as OpenGL stores it.
struct Mat4 {
  double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

Mat4 Multiply(const Mat4& a, const Mat4& b) {
  Mat4 r;
  for (int c = 0; c < 4; ++c) {
    for (int row = 0; row < 4; ++row) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += a.m[k * 4 + row] * b.m[c * 4 + k];
      r.m[c * 4 + row] = sum;
    }
  }
  return r;
}

Mat4 FromFloats(const float* f) {
  Mat4 r;
  for (int i = 0; i < 16; ++i) r.m[i] = f[i];
  return r;
}

// The window rectangle that holds the box [lo, hi] after `toClip` and the
// viewport transform; false when a corner lies at or behind the camera.
bool ProjectBox(const Mat4& toClip, const VECTOR3D& lo, const VECTOR3D& hi, int width,
                int height, PixelRect* out) {
  double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
  for (int i = 0; i < 8; ++i) {
    const double p[4] = {(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z, 1.0};
    double clip[4];
    for (int row = 0; row < 4; ++row) {
      clip[row] = 0.0;
      for (int k = 0; k < 4; ++k) clip[row] += toClip.m[k * 4 + row] * p[k];
    }
    if (!(clip[3] > kMinClipW)) return false;
    const double sx = (clip[0] / clip[3] * 0.5 + 0.5) * width;
    const double sy = (clip[1] / clip[3] * 0.5 + 0.5) * height;
    x0 = std::min(x0, sx);
    x1 = std::max(x1, sx);
    y0 = std::min(y0, sy);
    y1 = std::max(y1, sy);
  }
  // Far outside the view: nothing to bound, and no integer overflow.
  const double limit = 4.0 * std::max(width, height) + 64.0;
  if (x1 < -limit || y1 < -limit || x0 > limit || y0 > limit) {
    *out = PixelRect{};
    return true;
  }
  x0 = std::clamp(x0, -limit, limit);
  y0 = std::clamp(y0, -limit, limit);
  x1 = std::clamp(x1, -limit, limit);
  y1 = std::clamp(y1, -limit, limit);
  const int left = static_cast<int>(std::floor(x0)) - kSpriteMargin;
  const int bottom = static_cast<int>(std::floor(y0)) - kSpriteMargin;
  const int right = static_cast<int>(std::ceil(x1)) + kSpriteMargin;
  const int top = static_cast<int>(std::ceil(y1)) + kSpriteMargin;
  *out = PixelRect{left, bottom, right - left, top - bottom};
  return true;
}

}  // namespace

void SSMAIN::BoundSprites(ScreenState* state) const {
  if (!aquarium || !aquarium->bflys) return;
  const Mat4 viewProjection = Multiply(FromFloats(projection_), FromFloats(camera_));
  Mat4 shadow;
  ShadowMatrixf(shadow.m, kShadowPlane[0], kShadowPlane[1], kShadowPlane[2], kShadowPlane[3],
                lightPos.x, lightPos.y, lightPos.z, 0.0f);
  const Mat4 shadowProjection = Multiply(viewProjection, shadow);
  const size_t count = static_cast<size_t>(std::max<int64_t>(aquarium->numBFlys, 0));
  state->bodies.assign(count, PixelRect{});
  state->shadows.assign(count, PixelRect{});

  for (int64_t i = 0; i < aquarium->numBFlys; ++i) {
    const ONEBFLY& b = aquarium->bflys[i];
    // What ONEBFLY::Draw draws: launched butterflies with a body.
    if (b.action == ONEBFLY::kWaiting || b.vertexBuffer.empty() || b.indices.empty() ||
        b.groups.empty() || !b.bflyData)
      continue;
    VECTOR3D lo = b.vertexBuffer.front().position, hi = lo;
    for (const MODELVERTEX& v : b.vertexBuffer) {
      lo = {std::min(lo.x, v.position.x), std::min(lo.y, v.position.y),
            std::min(lo.z, v.position.z)};
      hi = {std::max(hi.x, v.position.x), std::max(hi.y, v.position.y),
            std::max(hi.z, v.position.z)};
    }
    Mat4 model;
    for (int k = 0; k < 16; ++k) model.m[k] = b.orientation.m[k];
    Mat4 place;
    place.m[12] = b.position.x;
    place.m[13] = b.position.y;
    place.m[14] = b.position.z;
    model = Multiply(place, model);

    PixelRect rect;
    if (!ProjectBox(Multiply(viewProjection, model), lo, hi, width, height, &rect)) {
      state->unbounded = true;
      return;
    }
    state->sprites.push_back(rect);
    state->bodies[static_cast<size_t>(i)] = rect;
    // The shadow pass skips butterflies whose shadow would be clear.
    const float opacity = (b.position.z + 40.0f) / -40.0f + 0.5f;
    if (!wantShadow || !(opacity > 0.0f)) continue;
    if (!ProjectBox(Multiply(shadowProjection, model), lo, hi, width, height, &rect)) {
      state->unbounded = true;
      return;
    }
    state->sprites.push_back(rect);
    state->shadows[static_cast<size_t>(i)] = rect;
  }
}

void SSMAIN::AddDamage(DamageRegion* region) const {
  if (region == nullptr) return;
  const ScreenState& a = before_;
  const ScreenState& b = now_;
  if (!ready || !a.valid || !b.valid || a.unbounded || b.unbounded || a.width != b.width ||
      a.height != b.height || a.bgTexID != b.bgTexID || a.bgAspect != b.bgAspect || a.sceneFade != b.sceneFade ||
      a.messageFade != b.messageFade ||
      (b.messageFade > 0.0f && a.messageIndex != b.messageIndex)) {
    region->AddFull();
    return;
  }
  for (const PixelRect& r : a.sprites) region->Add(r);
  for (const PixelRect& r : b.sprites) region->Add(r);
  if (!preview && (a.bannerPos.x != b.bannerPos.x || a.bannerPos.y != b.bannerPos.y ||
                   a.messageIndex != b.messageIndex)) {
    BannerRects(a, region);
    BannerRects(b, region);
  }
}
