// Whole frames of the scene rendered offscreen at 1024 x 768, as the view
// draws them, checked for what a viewer would see and written to
// <build>/frames/ as PNG files for people to look at.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "scene/BackgroundPictures.h"
#include "scene/SSMAIN.h"
#include "tests/support/OffscreenGL.h"
#include "tests/support/PngWriter.h"
#include "tests/support/SceneContent.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewFrame.h"
#include "util/Frustum.h"
#include "util/Texture.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;
constexpr double kStep = 1.0 / 60.0;
constexpr unsigned kSeed = 20261206;
// Frames that are not looked at are drawn into a corner of this size. The
// scene never reads the viewport: its projection, frustum, flight and
// overlay are those of the full view, only fewer pixels are filled.
constexpr int kSmallWidth = 64, kSmallHeight = 48;

using Rgb = std::array<int, 3>;
using Rgba = std::array<float, 4>;

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // bottom row first
  Rgb At(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * width + x) * 4;
    return {rgba[i], rgba[i + 1], rgba[i + 2]};
  }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

void Save(const Image& frame, const std::string& name) {
  const std::string path = std::string(WINGDRIFT_BINARY_DIR) + "/frames/" + name;
  EXPECT_TRUE(WriteFramePng(path, frame.rgba, frame.width, frame.height)) << path;
}

Image ReadFrame() {
  Image image;
  image.width = kWidth;
  image.height = kHeight;
  image.rgba.resize(static_cast<size_t>(kWidth) * kHeight * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
  return image;
}

// A GL texture read back, sampled as the overlay's textures are (linear,
// repeating).
struct TextureImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // row 0 = t 0

  explicit TextureImage(GLuint name) {
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    rgba.resize(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  }
  Rgba Texel(int x, int y) const {
    x = ((x % width) + width) % width;
    y = ((y % height) + height) % height;
    const size_t i = (static_cast<size_t>(y) * width + x) * 4;
    return {float(rgba[i]), float(rgba[i + 1]), float(rgba[i + 2]), rgba[i + 3] / 255.0f};
  }
  Rgba Sample(double s, double t) const {
    const double u = s * width - 0.5, v = t * height - 0.5;
    const int x0 = static_cast<int>(std::floor(u)), y0 = static_cast<int>(std::floor(v));
    const float fx = static_cast<float>(u - x0), fy = static_cast<float>(v - y0);
    Rgba r{};
    for (int c = 0; c < 4; ++c)
      r[c] = (Texel(x0, y0)[c] * (1 - fx) + Texel(x0 + 1, y0)[c] * fx) * (1 - fy) +
             (Texel(x0, y0 + 1)[c] * (1 - fx) + Texel(x0 + 1, y0 + 1)[c] * fx) * fy;
    return r;
  }
};

bool Near(const Rgb& a, const Rgb& b, int tolerance) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(a[i] - b[i]) > tolerance) return false;
  return true;
}

int Brightness(const Rgb& c) { return c[0] + c[1] + c[2]; }

// How well a textured quad of `quadWidth` x `quadHeight` pixels at (x0, y0),
// drawn with opacity `opacity` over `under`, explains `frame`: the share of
// its pixels inside the view that match, and how many there are.
struct QuadMatch {
  double share = 0;
  int pixels = 0;
  int opaque = 0;  // pixels where the image is at least half opaque
};
QuadMatch MatchQuad(const Image& frame, const Image& under, const TextureImage& texture, double x0,
                    double y0, double quadWidth, double quadHeight, float opacity) {
  QuadMatch m;
  int matching = 0;
  const int xFrom = std::max(0, static_cast<int>(std::ceil(x0))),
            xTo = std::min(frame.width, static_cast<int>(std::floor(x0 + quadWidth)));
  const int yFrom = std::max(0, static_cast<int>(std::ceil(y0))),
            yTo = std::min(frame.height, static_cast<int>(std::floor(y0 + quadHeight)));
  for (int y = yFrom; y < yTo; ++y)
    for (int x = xFrom; x < xTo; ++x) {
      // Texture coordinates of the pixel's centre; the outermost texels
      // wrap around under linear filtering and are left out.
      const double s = (x + 0.5 - x0) / quadWidth, t = (y + 0.5 - y0) / quadHeight;
      if (s * texture.width < 1 || (1 - s) * texture.width < 1 || t * texture.height < 1 ||
          (1 - t) * texture.height < 1)
        continue;
      const Rgba tex = texture.Sample(s, t);
      const float a = tex[3] * opacity;
      const Rgb below = under.At(x, y);
      Rgb expected;
      for (int c = 0; c < 3; ++c) expected[c] = static_cast<int>(std::lround(tex[c] * a + below[c] * (1 - a)));
      ++m.pixels;
      if (tex[3] >= 0.5f) ++m.opaque;
      if (Near(frame.At(x, y), expected, 8)) ++matching;
    }
  m.share = m.pixels ? double(matching) / m.pixels : 0;
  return m;
}

// A scene built and driven as the view does it, over the shipped content
// when the build has it, with the generated background picture.
class SceneRun {
 public:
  SceneRun(bool preview, bool shadows, int butterflies = 10) {
    content = FindSceneContent(WINGDRIFT_BINARY_DIR, scratch.path());
    settings = SceneSettings(content.typeFolder, butterflies, shadows);
    std::srand(kSeed);
    ViewGLInit(kWidth, kHeight);
    built = scene.Setup(preview, kWidth, kHeight, &settings, content.resourceFile.c_str());
    const std::string picture = scratch.File("background.png");
    built = built && WriteTestPicture(picture, 640, 480) && loadPicFile(picture.c_str(), &background, 0);
    scene.bgTexID = background.texID;
    ViewGLInit(kWidth, kHeight, &scene);
  }

  // One frame of 1/60 s, into the full view or the small corner.
  void Frame(bool full) {
    fadeBeforeFrame = scene.messageFade;
    if (full)
      glViewport(0, 0, kWidth, kHeight);
    else
      glViewport(0, 0, kSmallWidth, kSmallHeight);
    ViewFrame(&scene, kWidth, kHeight, kStep);
    ++frames;
  }
  // Small frames until the next one reaches `seconds`, then that one in the
  // full view; returns it.
  Image RunTo(double seconds) {
    while (scene.elapsed + kStep * 1.5 < seconds) Frame(false);
    Frame(true);
    return ReadFrame();
  }
  Image RunToFrame(int frame) {
    while (frames + 1 < frame) Frame(false);
    Frame(true);
    return ReadFrame();
  }
  // What the background alone looks like now (darkened by the current fade).
  Image Underlay() {
    glViewport(0, 0, kWidth, kHeight);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene.DoUnderlay();
    return ReadFrame();
  }

  TempDir scratch;
  SceneContent content;
  SETTINGS settings;
  Texture background;  // the view's picture record: it owns the GL name
  SSMAIN scene;
  bool built = false;
  int frames = 0;
  float fadeBeforeFrame = 0;  // messageFade as the last frame's background and butterflies used it
};

class SceneFrames : public ::testing::Test {
 protected:
  static OffscreenGL& Context() {
    static OffscreenGL& gl = *new OffscreenGL;  // kept to exit, as in GLTest
    if (gl.width() == 0) gl.Create(kWidth, kHeight);
    return gl;
  }
  void SetUp() override {
    ASSERT_GT(Context().width(), 0) << "offscreen OpenGL context: " << Context().error();
    ASSERT_TRUE(Context().MakeCurrent());
    glPushAttrib(GL_ALL_ATTRIB_BITS);
  }
  void TearDown() override {
    glPopAttrib();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
};

// Shares of the pixels of `frame` that equal `reference` within `tolerance`,
// in rows [y0, y1).
double ShareEqual(const Image& frame, const Image& reference, int y0, int y1, int tolerance) {
  int equal = 0, all = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = 0; x < frame.width; ++x, ++all)
      if (Near(frame.At(x, y), reference.At(x, y), tolerance)) ++equal;
  return all ? double(equal) / all : 0;
}

}  // namespace

TEST_F(SceneFrames, BackgroundFillsTheViewTheRightWayUp) {
  SceneRun run(false, true);
  ASSERT_TRUE(run.built);
  RecordProperty("content", run.content.shipped ? "shipped" : "writer-built");
  const Image first = run.RunTo(kStep);
  Save(first, "scene_first_frame.png");

  // The picture's regions where the view shows them: its top band along the
  // top of the view, red at the top left, yellow at the bottom right. Points
  // near a region's border are left out, and a butterfly entering at an
  // edge may cover a few.
  int checked = 0, matching = 0;
  for (int gy = 0; gy < 48; ++gy)
    for (int gx = 0; gx < 64; ++gx) {
      const double u = (gx + 0.5) / 64, v = (gy + 0.5) / 48;
      if (std::abs(u - 0.5) < 0.02 || std::abs(v - 0.125) < 0.02 || std::abs(v - 0.5625) < 0.02) continue;
      const auto c = TestPictureColour(u, v);
      const int x = static_cast<int>(u * kWidth), y = static_cast<int>((1 - v) * kHeight);
      ++checked;
      if (Near(first.At(x, y), {c[0], c[1], c[2]}, 3)) ++matching;
    }
  EXPECT_GT(matching, checked * 98 / 100) << matching << " of " << checked;
  EXPECT_TRUE(Near(first.At(512, 740), {235, 235, 235}, 3));  // the top band at the top
  EXPECT_TRUE(Near(first.At(100, 500), {200, 40, 40}, 3));    // red at the top left
  EXPECT_TRUE(Near(first.At(900, 100), {220, 200, 40}, 3));   // yellow at the bottom right
}

TEST_F(SceneFrames, MessageDarkensTheSceneAndTheBannerSlidesIn) {
  // The preview first, then the same scene outside the preview, each seeded
  // alike: until the banner first shows at 60 s the overlay draws no random
  // numbers, so both flocks fly alike until then.
  Image previewFading, previewUnder, previewLate, previewLateUnder;
  {
    SceneRun preview(true, true);
    ASSERT_TRUE(preview.built);
    previewFading = preview.RunTo(41.5);
    previewUnder = preview.Underlay();
    previewLate = preview.RunTo(65.0);
    previewLateUnder = preview.Underlay();
    Save(previewLate, "scene_preview_65s.png");
    EXPECT_EQ(preview.scene.messageFade, 0.0f);
    EXPECT_FALSE(preview.scene.bannerShown);
  }
  SceneRun full(false, true);
  ASSERT_TRUE(full.built);
  const Image fading = full.RunTo(41.5);
  const float fade = full.fadeBeforeFrame;
  Save(fading, "scene_message_fading_41s.png");

  {
    SCOPED_TRACE("preview: no overlay, no darkening");
    // Where the banner and the message would be, only the background and
    // butterflies show.
    EXPECT_GT(ShareEqual(previewLate, previewLateUnder, kHeight - 48, kHeight, 3), 0.9);
    EXPECT_GT(ShareEqual(previewLate, previewLateUnder, 352, 416, 3), 0.8);
    EXPECT_GT(ShareEqual(previewLate, previewLateUnder, 0, 40, 3), 0.9);
  }
  {
    SCOPED_TRACE("41.5 s: the message fades in over the darkened scene");
    ASSERT_GT(fade, 0.5f);
    ASSERT_LT(fade, 1.0f);
    // The same flock as the preview's: outside the message band every pixel,
    // background, shadow or butterfly, is the preview's darkened by the fade.
    int outside = 0, darkened = 0, butterflyPixels = 0;
    double butterflyFull = 0, butterflyPreview = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        if (y >= 350 && y < 418) continue;
        const Rgb p = previewFading.At(x, y), f = fading.At(x, y);
        Rgb expected;
        for (int c = 0; c < 3; ++c) expected[c] = static_cast<int>(std::lround(p[c] * (1 - fade)));
        ++outside;
        if (Near(f, expected, 3)) ++darkened;
        if (!Near(p, previewUnder.At(x, y), 12)) {
          ++butterflyPixels;
          butterflyFull += Brightness(f);
          butterflyPreview += Brightness(p);
        }
      }
    EXPECT_GT(darkened, outside * 99 / 100) << darkened << " of " << outside;
    ASSERT_GT(butterflyPixels, 200) << "no butterfly in view at 41.5 s";
    EXPECT_NEAR(butterflyFull / butterflyPixels, butterflyPreview / butterflyPixels * (1 - fade),
                0.05 * butterflyPreview / butterflyPixels);
    // The band: the message strip over the darkened preview.
    Image dark = previewFading;
    for (size_t i = 0; i < dark.rgba.size(); ++i)
      if (i % 4 != 3) dark.rgba[i] = static_cast<uint8_t>(std::lround(dark.rgba[i] * (1 - fade)));
    const QuadMatch band = MatchQuad(fading, dark, TextureImage(full.scene.textures[full.scene.messageIndex].texID), 0,
                                     352, 1024, 64, full.scene.messageFade);
    EXPECT_GT(band.share, 0.95);
    EXPECT_GT(band.opaque, 1024 * 64 / 30) << "the message image is hardly visible";
  }
  {
    SCOPED_TRACE("50 s: the message at full strength over a black scene");
    const Image message = full.RunTo(50.0);
    Save(message, "scene_message_full_50s.png");
    ASSERT_EQ(full.scene.messageFade, 1.0f);
    const Image under = full.Underlay();
    const QuadMatch band = MatchQuad(message, under, TextureImage(full.scene.textures[full.scene.messageIndex].texID),
                                     0, 352, 1024, 64, 1.0f);
    EXPECT_GT(band.share, 0.95);
    int black = 0, all = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        if (y >= 350 && y < 418) continue;
        ++all;
        if (Brightness(message.At(x, y)) <= 6) ++black;
      }
    EXPECT_GT(black, all * 995 / 1000) << black << " of " << all;
  }
  {
    SCOPED_TRACE("62 s: the banner slides in from above the top edge");
    const Image sliding = full.RunTo(62.0);
    Save(sliding, "scene_banner_sliding_62s.png");
    const SSMAIN& s = full.scene;
    ASSERT_TRUE(s.bannerShown);
    ASSERT_TRUE(s.bannerAtTop);
    EXPECT_GT(s.bannerPos.y, 728.0f + 5);
    EXPECT_LT(s.bannerPos.y, 768.0f - 5);  // part of it is in view
    EXPECT_TRUE(s.bannerPos.x == 0.0f || s.bannerPos.x == 768.0f) << s.bannerPos.x;
    const Image under = full.Underlay();
    const QuadMatch logo = MatchQuad(sliding, under, TextureImage(s.textures[1].texID), s.bannerPos.x,
                                     s.bannerPos.y, 256, 32, 1.0f);
    const QuadMatch strip = MatchQuad(sliding, under, TextureImage(s.textures[s.messageIndex].texID), 256,
                                      s.bannerPos.y, 512, 32, 1.0f);
    EXPECT_GT(logo.pixels, 256 * 5);
    EXPECT_GT(logo.share, 0.9);
    EXPECT_GT(strip.share, 0.9);
  }
  {
    SCOPED_TRACE("72 s: the banner stands 40 pixels below the top edge");
    const Image shown = full.RunTo(72.0);
    Save(shown, "scene_banner_shown_72s.png");
    const SSMAIN& s = full.scene;
    ASSERT_TRUE(s.bannerShown);
    EXPECT_NEAR(s.bannerPos.y, 728.0f, 0.5f);
    const Image under = full.Underlay();
    const QuadMatch logo = MatchQuad(shown, under, TextureImage(s.textures[1].texID), s.bannerPos.x,
                                     s.bannerPos.y, 256, 32, 1.0f);
    const QuadMatch strip = MatchQuad(shown, under, TextureImage(s.textures[s.messageIndex].texID), 256,
                                      s.bannerPos.y, 512, 32, 1.0f);
    EXPECT_EQ(logo.pixels, 254 * 30);
    EXPECT_GT(logo.share, 0.9);
    EXPECT_GT(logo.opaque, 256 * 32 / 30) << "the logo is hardly visible";
    EXPECT_GT(strip.share, 0.9);
    EXPECT_GT(strip.opaque, 512 * 32 / 30) << "the message strip is hardly visible";
    // Elsewhere the scene is neither darkened nor covered: the view's top
    // rows beside the banner show the background.
    const int freeX = s.bannerPos.x == 0.0f ? 900 : 100;
    EXPECT_TRUE(Near(shown.At(freeX, 760), under.At(freeX, 760), 3));
  }
}

TEST_F(SceneFrames, ShadowsDarkenThePictureUnderDeepButterflies) {
  // Butterflies deeper than z = -20 cast shadows, the darker the deeper.
  // Find a frame with a butterfly in view deeper than -30.
  constexpr float kDeep = -30.0f;
  int deepFrame = 0;
  {
    SceneRun scout(true, true);
    ASSERT_TRUE(scout.built);
    while (scout.scene.elapsed < 120.0 && deepFrame == 0) {
      scout.Frame(false);
      const AQUARIUM& a = *scout.scene.aquarium;
      for (int64_t i = 0; i < a.numBFlys; ++i)
        if (a.bflys[i].action != ONEBFLY::kWaiting && a.bflys[i].position.z < kDeep &&
            PointInFrustum(a.bflys[i].position))
          deepFrame = scout.frames + 1;
    }
  }
  ASSERT_GT(deepFrame, 0) << "no butterfly flew deeper than z = " << kDeep << " in view";

  // One after the other, each seeded alike.
  auto withShadows = std::make_unique<SceneRun>(true, true);
  ASSERT_TRUE(withShadows->built);
  const Image shaded = withShadows->RunToFrame(deepFrame);
  auto without = std::make_unique<SceneRun>(true, false);
  ASSERT_TRUE(without->built);
  const Image plain = without->RunToFrame(deepFrame);
  Save(shaded, "scene_shadows_on.png");
  Save(plain, "scene_shadows_off.png");
  // How much darker each pixel is with shadows, four times amplified.
  Image difference = plain;
  for (size_t i = 0; i < difference.rgba.size(); ++i)
    if (i % 4 != 3) difference.rgba[i] = static_cast<uint8_t>(std::clamp(4 * (plain.rgba[i] - shaded.rgba[i]), 0, 255));
  Save(difference, "scene_shadows_difference.png");

  // The shadow pass draws no random numbers: both flocks flew alike.
  const AQUARIUM& a = *withShadows->scene.aquarium;
  const AQUARIUM& b = *without->scene.aquarium;
  for (int64_t i = 0; i < a.numBFlys; ++i) {
    ASSERT_EQ(a.bflys[i].position.x, b.bflys[i].position.x) << i;
    ASSERT_EQ(a.bflys[i].position.z, b.bflys[i].position.z) << i;
  }

  // Shadows only ever darken.
  int lighter = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (Brightness(shaded.At(x, y)) > Brightness(plain.At(x, y)) + 6) ++lighter;
  EXPECT_LT(lighter, kWidth * kHeight / 1000);

  // Under each deep butterfly in view: where its shadow falls on the
  // picture plane (the light shines along z), the picture is darker.
  GLdouble modelView[16], projection[16];
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
  glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  gluPerspective(45.0, static_cast<float>(kWidth) / kHeight, 1.0, 120.0);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  const GLint viewport[4] = {0, 0, kWidth, kHeight};
  int deep = 0;
  for (int64_t i = 0; i < a.numBFlys; ++i) {
    const ONEBFLY& bfly = a.bflys[i];
    if (bfly.action == ONEBFLY::kWaiting || !(bfly.position.z < kDeep)) continue;
    GLdouble sx = 0, sy = 0, sz = 0;
    gluProject(bfly.position.x, bfly.position.y, -40.5, modelView, projection, viewport, &sx, &sy, &sz);
    if (sx < 30 || sy < 30 || sx > kWidth - 30 || sy > kHeight - 30) continue;
    ++deep;
    long shadedSum = 0, plainSum = 0;
    int darker = 0;
    for (int y = static_cast<int>(sy) - 30; y < static_cast<int>(sy) + 30; ++y)
      for (int x = static_cast<int>(sx) - 30; x < static_cast<int>(sx) + 30; ++x) {
        const int s = Brightness(shaded.At(x, y)), p = Brightness(plain.At(x, y));
        shadedSum += s;
        plainSum += p;
        if (s + 15 < p) ++darker;
      }
    SCOPED_TRACE("butterfly " + std::to_string(i) + " at z " + std::to_string(bfly.position.z) + ", shadow at (" +
                 std::to_string(sx) + ", " + std::to_string(sy) + ")");
    EXPECT_LT(shadedSum, plainSum);
    EXPECT_GT(darker, 20) << "shaded brightness " << shadedSum << ", without shadows " << plainSum;
  }
  EXPECT_GT(deep, 0);
}
