// Whole frames of the scene rendered offscreen at 1024 x 768, as the view
// draws them, checked for what a viewer would see.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "scene/BackgroundPictures.h"
#include "scene/SSMAIN.h"
#include "tests/support/OffscreenGL.h"
#include "tests/support/SceneContent.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewFrame.h"
#include "util/Texture.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;
// Frames of 1/20 s, as a view drawing 20 frames per second gets them: the
// cycles run on scene time, so only the number of frames to get there
// changes, which keeps the sanitizer build quick.
constexpr double kStep = 1.0 / 20.0;
constexpr unsigned kSeed = 20261206;
// Frames that are not looked at are drawn into a corner of this size. The
// scene never reads the viewport: its projection, frustum, flight and
// overlay are those of the full view, only fewer pixels are filled.
constexpr int kSmallWidth = 64, kSmallHeight = 48;

using Rgb = std::array<int, 3>;

// The frame drawn last, read back.
struct Image {
  std::vector<uint8_t> rgba = std::vector<uint8_t>(size_t{kWidth} * kHeight * 4);
  Image() { glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data()); }
  Rgb At(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * kWidth + x) * 4;
    return {rgba[i], rgba[i + 1], rgba[i + 2]};
  }
};

int Brightness(const Rgb& c) { return c[0] + c[1] + c[2]; }

// How many of the points (x, y) with x0 <= x < x1 and y0 <= y < y1 pass `test`.
template <typename Test>
int Count(int x0, int y0, int x1, int y1, const Test& test) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += test(x, y) ? 1 : 0;
  return n;
}

// A scene built and driven as the view does it, in an offscreen context of
// its own, over the shipped content when the build has it, with the
// generated background picture (an odd width, so that its decoded rows are
// padded).
class SceneRun {
 public:
  // One context for every run, kept to exit (as in GLTest): tearing the last
  // one down unloads Mesa's driver, whose own small allocations
  // LeakSanitizer would then report without symbols.
  static OffscreenGL& Context() {
    static OffscreenGL& gl = *new OffscreenGL;
    if (gl.width() == 0) gl.Create(kWidth, kHeight);
    return gl;
  }

  SceneRun(bool preview, bool shadows, int butterflies = 10) {
    EXPECT_TRUE(Context().width() > 0 && Context().MakeCurrent()) << Context().error();
    content = FindSceneContent(WINGDRIFT_BINARY_DIR, scratch.path());
    settings = SceneSettings(content.typeFolder, butterflies, shadows);
    std::srand(kSeed);
    ViewGLInit(kWidth, kHeight);
    built = scene.Setup(preview, kWidth, kHeight, &settings, content.resourceFile.c_str());
    const std::string picture = scratch.File("background.png");
    built = built && WriteTestPicture(picture, 641, 480) &&
            loadPicFile(picture.c_str(), &background, 0);
    scene.bgTexID = background.texID;
    ViewGLInit(kWidth, kHeight, &scene);
  }

  // One frame, into the full view or the small corner.
  void Frame(bool full) {
    glViewport(0, 0, full ? kWidth : kSmallWidth, full ? kHeight : kSmallHeight);
    ViewFrame(&scene, kWidth, kHeight, kStep);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
  // Small frames until the next one reaches `seconds`, then that one in the
  // full view; returns it.
  Image RunTo(double seconds) {
    while (scene.elapsed + kStep * 1.5 < seconds) Frame(false);
    Frame(true);
    return Image();
  }

  TempDir scratch;
  SceneContent content;
  SETTINGS settings;
  Texture background;  // the view's picture record: it owns the GL name
  SSMAIN scene;
  bool built = false;
};

// Where, in pixels, the shadows of the butterflies flying deeper than
// `depth` fall, for those whose shadow's middle lies at least 30 pixels
// inside the view. The light shines along z, so the shadow lies straight
// behind the butterfly on the plane z = -40.5.
std::vector<std::array<int, 2>> DeepShadowsInView(const AQUARIUM& a, float depth) {
  // The view's camera and projection.
  const double f = 1.0 / std::tan(22.5 * kPi / 180.0);
  const double aspect = static_cast<float>(kWidth) / static_cast<float>(kHeight);
  const double distance = 60.0 + 40.5;
  std::vector<std::array<int, 2>> shadows;
  for (int64_t i = 0; i < a.numBFlys; ++i) {
    const ONEBFLY& bfly = a.bflys[i];
    if (bfly.action == ONEBFLY::kWaiting || !(bfly.position.z < depth)) continue;
    const double sx = (bfly.position.x * f / aspect / distance + 1) * 0.5 * kWidth;
    const double sy = (bfly.position.y * f / distance + 1) * 0.5 * kHeight;
    if (sx >= 30 && sy >= 30 && sx <= kWidth - 30 && sy <= kHeight - 30)
      shadows.push_back({static_cast<int>(sx), static_cast<int>(sy)});
  }
  return shadows;
}

}  // namespace

TEST(SceneFrames, ThePictureFillsTheViewAndTheMessageDarkensIt) {
  SceneRun run(false, true);
  ASSERT_TRUE(run.built);
  const Image first = run.RunTo(kStep);

  // The picture's regions where the view shows them: its top band along the
  // top of the view, red at the top left, yellow at the bottom right. Points
  // near a region's border are left out, and a butterfly entering at an
  // edge may cover a few.
  const int wrong = Count(0, 0, 64, 48, [&first](int gx, int gy) {
    const double u = (gx + 0.5) / 64, v = (gy + 0.5) / 48;
    if (std::abs(u - 0.5) < 0.02 || std::abs(v - 0.125) < 0.02 || std::abs(v - 0.5625) < 0.02)
      return false;
    const auto c = TestPictureColour(u, v);
    const Rgb p = first.At(static_cast<int>(u * kWidth), static_cast<int>((1 - v) * kHeight));
    return std::abs(p[0] - c[0]) > 3 || std::abs(p[1] - c[1]) > 3 || std::abs(p[2] - c[2]) > 3;
  });
  EXPECT_LT(wrong, 64 * 48 / 50) << wrong << " of 64 x 48 points";

  // At 50 s the message is at full strength: the picture, the shadows and
  // the butterflies are all black, and the message's band shows its image.
  const Image message = run.RunTo(50.0);
  ASSERT_EQ(run.scene.messageFade, 1.0f);
  const auto lit = [&message](int x, int y) { return Brightness(message.At(x, y)) > 6; };
  const int lights = Count(0, 0, kWidth, 350, lit) + Count(0, 418, kWidth, kHeight, lit);
  EXPECT_LT(lights, kWidth * (kHeight - 68) / 200) << lights << " pixels lit";
  EXPECT_GT(Count(0, 352, kWidth, 416, lit), kWidth * 64 / 30) << "the message is hardly visible";
}

TEST(SceneFrames, ShadowsDarkenThePictureUnderDeepButterflies) {
  // Butterflies deeper than z = -20 cast shadows, the darker the deeper.
  // Find a frame with a butterfly in view deeper than -30.
  constexpr float kDeep = -30.0f;
  SceneRun withShadows(true, true);
  ASSERT_TRUE(withShadows.built);
  const AQUARIUM& a = *withShadows.scene.aquarium;
  // The frame after one that had a deep butterfly is drawn in full, and
  // kept if it still has one.
  bool found = false;
  while (withShadows.scene.elapsed < 120.0 && !found) {
    const bool full = !DeepShadowsInView(a, kDeep).empty();
    withShadows.Frame(full);
    found = full && !DeepShadowsInView(a, kDeep).empty();
  }
  ASSERT_TRUE(found) << "no butterfly flew deeper than z = " << kDeep << " in view";
  const Image shaded;

  // The same scene without shadows, seeded alike, drawn to the same time.
  SceneRun without(true, false);
  ASSERT_TRUE(without.built);
  const Image plain = without.RunTo(withShadows.scene.elapsed);

  // Shadows only ever darken (which also shows that both flocks flew alike:
  // the shadow pass draws no random numbers), and darken the picture where
  // the shadow of each deep butterfly falls on it.
  const auto drop = [&](int x, int y) {
    return Brightness(plain.At(x, y)) - Brightness(shaded.At(x, y));
  };
  const auto lighter = [&drop](int x, int y) { return drop(x, y) < -6; };
  const auto darker = [&drop](int x, int y) { return drop(x, y) > 15; };
  EXPECT_LT(Count(0, 0, kWidth, kHeight, lighter), kWidth * kHeight / 1000);
  for (const auto& [sx, sy] : DeepShadowsInView(a, kDeep))
    EXPECT_GT(Count(sx - 30, sy - 30, sx + 30, sy + 30, darker), 20)
        << "the shadow at " << sx << ", " << sy;
}
