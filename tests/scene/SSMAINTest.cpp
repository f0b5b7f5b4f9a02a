// The scene driven as the view drives it, over writer-built content whose
// images have known colours (see TestResourcePack), on a solid background.
#include "scene/SSMAIN.h"

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "scene/BackgroundPictures.h"
#include "tests/support/GLTest.h"
#include "tests/support/SceneContent.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewFrame.h"
#include "tools/ButterflyBuilder.h"
#include "tools/LumpWriter.h"
#include "tools/TgaWriter.h"
#include "util/Texture.h"

namespace {

using Rgb = std::array<int, 3>;
const Rgb kBackground = {50, 100, 150};
const Rgb kClear = {51, 102, 153};  // glClearColor(0.2, 0.4, 0.6)

bool Near(const Rgb& a, const Rgb& b, int tolerance) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(a[i] - b[i]) > tolerance) return false;
  return true;
}

// A scene over the test resource pack (or `pack`), one butterfly type, and a
// solid background texture owned here, as the view owns its picture.
class Rig {
 public:
  explicit Rig(const std::string& pack = TestResourcePack(8)) {
    resourceFile = dir.Write("qorvane.vessimots", pack);
    WriteBytes(dir.File("GOT-F.bfly"), ButterflyFile(ButterflySpec{}));
    loadPicFile(dir.Write("background.ppm", "P6\n1 1\n255\n\x32\x64\x96").c_str(), &background, 0);
  }

  // Builds the scene the way the view does for a viewport of w x h pixels.
  bool Build(bool preview, int w, int h, int64_t butterflies = 0, bool shadows = false) {
    width = w;
    height = h;
    settings = SceneSettings(dir.path() + "/", butterflies, shadows);
    ViewGLInit(w, h);
    const bool built = scene.Setup(preview, w, h, &settings, resourceFile.c_str());
    scene.bgTexID = background.texID;
    ViewGLInit(w, h, &scene);
    return built;
  }
  // Frames of `dt` until scene time reaches `seconds`.
  void RunTo(double seconds, double dt = 0.05) {
    while (scene.elapsed + dt * 0.5 < seconds) ViewFrame(&scene, width, height, dt);
  }
  Rgb Pixel(int x, int y) const {
    std::array<uint8_t, 4> p{};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    return {p[0], p[1], p[2]};
  }
  // Whether pixels all over the view, the message's band and the banner's
  // edges included, are within `tolerance` of `colour`.
  bool Everywhere(const Rgb& colour, int tolerance) const {
    for (int y : {5, 128, 140, 250})
      for (int x : {2, 128, 250})
        if (!Near(Pixel(x, y), colour, tolerance)) return false;
    return true;
  }
  // The row through the middle of the banner.
  int BannerRow() const { return static_cast<int>(std::lround(scene.bannerPos.y)) + 16; }

  TempDir dir;
  std::string resourceFile;
  Texture background;
  SETTINGS settings;
  SSMAIN scene;
  int width = 0, height = 0;
};

using SceneDriver = GLTest;

}  // namespace

TEST_F(SceneDriver, MessagesAndBannerComeAndGoOnSceneTimeAtAnyFrameRateButNotInPreview) {
  // A message fades in over 2 s from 40 s and out over 2 s from 60 s; the
  // next comes at 100 s. The banner slides in from above at 60 s, out at
  // 80 s, and in along the bottom at 110 s. Each phase ends at the first
  // frame past it, and a fade starts the frame after its phase.
  const std::pair<double, float> fades[] = {{39.9, 0},  {40.5, 0.25f}, {42.5, 1},     {59.5, 1},
                                            {61, 0.5f}, {62.5, 0},     {100.5, 0.25f}};
  // A preview never shows them, nor darkens the picture.
  for (const auto& [preview, dt] : {std::pair{false, 1.0 / 60}, {false, 1.0 / 24}, {true, 0.05}}) {
    SCOPED_TRACE(testing::Message() << "preview " << preview << ", step " << dt);
    Rig rig;
    ASSERT_TRUE(rig.Build(preview, 256, 256));
    for (const auto& [seconds, fade] : fades) {
      rig.RunTo(seconds, dt);
      EXPECT_NEAR(rig.scene.messageFade, preview ? 0 : fade, 1.5 * dt) << "at " << seconds;
      EXPECT_FALSE(rig.scene.bannerShown && (preview || seconds < 59.9));
    }
    // No butterflies: every pixel is the background.
    EXPECT_TRUE(!preview || rig.Everywhere(kBackground, 2));
  }
  // 200 pixels wide: the 512-pixel strip starts at 100 - 256 = -156, so the
  // view's column x shows the strip's column x + 156.
  Rig rig;
  ASSERT_TRUE(rig.Build(false, 200, 256));
  rig.RunTo(60.5);
  ASSERT_TRUE(rig.scene.bannerShown);
  EXPECT_TRUE(rig.scene.bannerAtTop);
  EXPECT_GT(rig.scene.bannerPos.y, 256.0f) << "it starts just outside the view";
  rig.RunTo(79.0);
  EXPECT_NEAR(rig.scene.bannerPos.y, 216.0f, 1.0f) << "40 pixels below the top edge";
  const int green = 60 * static_cast<int>(rig.scene.messageIndex - 3);
  for (int x : {0, 1, 50, 120, 199})
    EXPECT_TRUE(Near(rig.Pixel(x, rig.BannerRow()), {(x + 156) / 2, green, 191}, 1)) << x;
  rig.RunTo(109.0);
  ASSERT_FALSE(rig.scene.bannerShown);
  EXPECT_NEAR(rig.scene.bannerPos.y, 296.0f, 1.0f);
  rig.RunTo(129.0);
  ASSERT_TRUE(rig.scene.bannerShown);
  EXPECT_FALSE(rig.scene.bannerAtTop);
  EXPECT_NEAR(rig.scene.bannerPos.y, 5.0f, 1.0f);
}

TEST_F(SceneDriver, CleanupTwiceReleasesOnceAndTheSceneBuildsAgain) {
  Rig rig;
  ASSERT_TRUE(rig.Build(false, 256, 256, 2));
  rig.RunTo(1.0);
  const GLuint logo = rig.scene.textures[1].texID;
  ASSERT_TRUE(glIsTexture(logo));
  rig.scene.Cleanup();
  rig.scene.Cleanup();
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsTexture(logo));
  // It can be built again.
  ASSERT_TRUE(rig.Build(false, 256, 256, 2));
  rig.RunTo(1.4);
  EXPECT_TRUE(Near(rig.Pixel(128, 20), kBackground, 2));
}

// A missing resource file, or no butterfly types, are checked through the view.
TEST_F(SceneDriver, MissingOrTruncatedResourcesAreSkipped) {
  {  // Three lumps: the logo shows where the missing strip would be drawn.
    Rig rig(TestResourcePack(3));
    ASSERT_TRUE(rig.Build(false, 256, 256));
    rig.RunTo(41.0);
    // The centre message has no image: only the darkened background shows
    // (drawn before this frame's overlay moves the fade on).
    const float fade = rig.scene.messageFade;
    ASSERT_GT(fade, 0.3f);
    ViewFrame(&rig.scene, 256, 256, 1.0 / 60);
    const Rgb middle = rig.Pixel(128, 128);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(middle[i], kBackground[i] * (1 - fade), 2);
    rig.RunTo(79.0);
    ASSERT_TRUE(rig.scene.bannerShown);
    EXPECT_TRUE(Near(rig.Pixel(100, rig.BannerRow()), {100, 64 + 4 * 16, 40}, 1));
  }
  {  // A logo slot whose lump is not an image: nothing is drawn there, not
     // an untextured quad.
    const TgaImage tga{.width = 8, .height = 8, .pixels = std::vector<uint8_t>(8 * 8 * 3, 200)};
    std::vector<LumpSpec> lumps(3);
    for (LumpSpec& lump : lumps) lump.bytes = MakeTga(tga, false);
    lumps[1].type = 0;
    Rig rig(MakeResFile(lumps));
    ASSERT_TRUE(rig.Build(false, 256, 256));
    ASSERT_EQ(rig.scene.textures[1].texID, 0u);
    rig.RunTo(79.0);
    ASSERT_TRUE(rig.scene.bannerShown);
    EXPECT_TRUE(Near(rig.Pixel(100, rig.BannerRow()), kBackground, 2));
  }
  {  // A truncated resource file: the view is only cleared, frame after frame,
     // past the first banner and two messages; a matrix pushed and not popped
     // would overflow its stack long before.
    Rig rig(TestResourcePack(8).substr(0, 1000));
    ASSERT_FALSE(rig.Build(false, 256, 256, 3, true));
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    rig.RunTo(115.0, 0.1);
    EXPECT_TRUE(rig.Everywhere(kClear, 1));
  }
}
