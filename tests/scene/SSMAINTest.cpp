#include "scene/SSMAIN.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "scene/Clock.h"
#include "scene/TextureTarget.h"
#include "tests/support/GLTest.h"
#include "tests/support/SceneContent.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewFrame.h"
#include "tools/ButterflyBuilder.h"
#include "tools/LumpWriter.h"
#include "tools/TgaWriter.h"
#include "util/Texture.h"

namespace {

constexpr double kStep = 1.0 / 60.0;
using Rgb = std::array<int, 3>;
const Rgb kBackground = {50, 100, 150};

// A scene over writer-built content in its own folder: the test resource
// pack (or one of its first `lumps` slots), one butterfly type, and a solid
// background texture owned here, as the view owns its picture.
class Rig {
 public:
  explicit Rig(int lumps = 8, std::string pack = {}) {
    resourceFile = dir.Write("qorvane.vessimots", pack.empty() ? TestResourcePack(lumps) : pack);
    WriteBytes(dir.File("GOT-F.bfly"), ButterflyFile(ButterflySpec{}));
    TgaImage image;
    image.width = image.height = 4;
    for (int i = 0; i < 16; ++i)
      image.pixels.insert(image.pixels.end(), {uint8_t(kBackground[0]), uint8_t(kBackground[1]),
                                               uint8_t(kBackground[2])});
    const std::string tga = dir.Write("background.tga", MakeTga(image, false));
    LoadTGA(&background, tga.c_str());
    BuildTexture(&background, 0);
  }

  // Builds the scene the way the view does (GL set-up, Setup, background
  // name) for a viewport of width x height at the lower-left corner.
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

  void Frames(int count, double dt = kStep) {
    for (int i = 0; i < count; ++i) ViewFrame(&scene, width, height, dt);
  }
  // Frames until scene time reaches `seconds`. Steps of 1/20 s reach it
  // with a third of the frames; the cycles run on scene time all the same.
  void RunTo(double seconds, double dt = 0.05) {
    while (scene.elapsed + dt * 0.5 < seconds) ViewFrame(&scene, width, height, dt);
  }

  Rgb Pixel(int x, int y) const {
    std::array<uint8_t, 4> p{};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    return {p[0], p[1], p[2]};
  }

  TempDir dir;
  std::string resourceFile;
  Texture background;
  SETTINGS settings;
  SSMAIN scene;
  int width = 0, height = 0;
};

bool Near(const Rgb& a, const Rgb& b, int tolerance) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(a[i] - b[i]) > tolerance) return false;
  return true;
}

std::string Show(const Rgb& c) {
  return "(" + std::to_string(c[0]) + ", " + std::to_string(c[1]) + ", " + std::to_string(c[2]) + ")";
}

// Every test leaves the context as the other tests of this program expect.
class SceneTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
  }
  void TearDown() override {
    glPopAttrib();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    GLTest::TearDown();
  }
};

}  // namespace

using SceneDriver = SceneTest;

TEST_F(SceneDriver, BannerAndMessageRunOnSceneTime) {
  // The same cycle whatever the frame rate: only the sum of the steps counts.
  for (const double dt : {1.0 / 60.0, 1.0 / 24.0}) {
    SCOPED_TRACE("step " + std::to_string(dt));
    Rig rig;
    ASSERT_TRUE(rig.Build(false, 256, 256));
    const double tolerance = 1.5 * dt;
    double firstShow = -1, firstHide = -1, secondShow = -1, firstFade = -1, fullFade = -1,
           fadeOut = -1, secondFade = -1;
    bool wasShown = false, sliding = false;
    float lastY = rig.scene.bannerPos.y;
    while (rig.scene.elapsed < 115.0) {
      const float fadeBefore = rig.scene.messageFade;
      rig.Frames(1, dt);
      const SSMAIN& s = rig.scene;
      const double t = s.elapsed;
      if (s.bannerShown && !wasShown) {
        (firstShow < 0 ? firstShow : secondShow) = t;
        EXPECT_GE(s.messageIndex, 4u);
        EXPECT_LE(s.messageIndex, 7u);
        EXPECT_EQ(s.bannerPos.x, 0.0f);  // left edge, or width - 256, which is 0 here too
        // It starts just outside the view, top and bottom in turn.
        if (secondShow < 0) {
          EXPECT_TRUE(s.bannerAtTop);
          EXPECT_NEAR(s.bannerPos.y, 296.0f - (296.0f - 216.0f) * dt, 1e-3);
        } else {
          EXPECT_FALSE(s.bannerAtTop);
          EXPECT_NEAR(s.bannerPos.y, -40.0f + 45.0f * dt, 1e-3);
        }
      }
      if (!s.bannerShown && wasShown && firstHide < 0) firstHide = t;
      if (firstShow < 0) {
        // Hidden at the bottom: sinking from -35 towards -40.
        EXPECT_LE(s.bannerPos.y, lastY);
        EXPECT_GT(s.bannerPos.y, -40.0f);
      } else if (firstHide < 0 && sliding) {
        // Sliding in from above the top edge towards 40 pixels below it.
        EXPECT_LE(s.bannerPos.y, lastY);
        EXPECT_GE(s.bannerPos.y, 216.0f);
      }
      sliding = firstShow >= 0;
      wasShown = s.bannerShown;
      lastY = s.bannerPos.y;

      if (s.messageFade > 0 && fadeBefore == 0) (firstFade < 0 ? firstFade : secondFade) = t;
      if (s.messageFade >= 1.0f && fullFade < 0) fullFade = t;
      if (fullFade > 0 && s.messageFade <= 0 && fadeOut < 0) fadeOut = t;
    }
    // Each phase ends at the first frame past it, and a fade starts the
    // frame after its phase, so every boundary may add up to a step.
    EXPECT_NEAR(firstShow, 60.0, tolerance);
    EXPECT_NEAR(firstHide, 80.0, tolerance + dt);
    EXPECT_NEAR(secondShow, 110.0, tolerance + 2 * dt);
    EXPECT_NEAR(firstFade, 40.0, tolerance + dt);
    EXPECT_NEAR(fullFade, 42.0, tolerance + 2 * dt);
    EXPECT_NEAR(fadeOut, 62.0, tolerance + 3 * dt);
    EXPECT_NEAR(secondFade, 100.0, tolerance + 4 * dt);
  }
}

TEST_F(SceneDriver, ShownBannerSettlesAtItsEdge) {
  Rig rig;
  ASSERT_TRUE(rig.Build(false, 256, 256));
  rig.RunTo(79.0);
  ASSERT_TRUE(rig.scene.bannerShown);
  EXPECT_NEAR(rig.scene.bannerPos.y, 216.0f, 1.0f);
  rig.RunTo(109.0);
  ASSERT_FALSE(rig.scene.bannerShown);
  EXPECT_NEAR(rig.scene.bannerPos.y, 296.0f, 1.0f);
  rig.RunTo(129.0);
  ASSERT_TRUE(rig.scene.bannerShown);
  EXPECT_FALSE(rig.scene.bannerAtTop);
  EXPECT_NEAR(rig.scene.bannerPos.y, 5.0f, 1.0f);
}

TEST_F(SceneDriver, PreviewNeverShowsTheOverlayNorDarkens) {
  Rig rig;
  ASSERT_TRUE(rig.Build(true, 256, 256));
  while (rig.scene.elapsed < 75.0) {
    rig.Frames(1, 0.05);
    ASSERT_EQ(rig.scene.messageFade, 0.0f) << "at " << rig.scene.elapsed << " s";
  }
  EXPECT_FALSE(rig.scene.bannerShown);
  EXPECT_EQ(rig.scene.bannerTimer, 60.0f);
  EXPECT_EQ(rig.scene.bannerPos.y, -35.0f);
  // No butterflies: every pixel is the undarkened background, the message's
  // band and the banner's edge included.
  for (int y : {5, 100, 128, 140, 230, 250})
    for (int x : {2, 128, 250}) EXPECT_TRUE(Near(rig.Pixel(x, y), kBackground, 2)) << x << ", " << y;

  // The same scene outside the preview at 50 s: the background is black and
  // the message strip fills the band around the vertical middle.
  Rig full;
  ASSERT_TRUE(full.Build(false, 256, 256));
  full.RunTo(50.0);
  ASSERT_EQ(full.scene.messageFade, 1.0f);
  EXPECT_TRUE(Near(full.Pixel(128, 40), {0, 0, 0}, 1)) << Show(full.Pixel(128, 40));
  const Rgb band = full.Pixel(128, 128);
  EXPECT_EQ(band[1], 60 * (5 - 3)) << Show(band);  // message slot 5 until the banner first shows
}

TEST_F(SceneDriver, NarrowViewportKeepsTheStripCentredOnItsMiddle) {
  // 200 pixels wide: the 512-pixel strip starts at 100 - 256 = -156, so the
  // view's column x shows the strip's column x + 156.
  Rig rig;
  ASSERT_TRUE(rig.Build(false, 200, 150));
  rig.RunTo(79.0);
  ASSERT_TRUE(rig.scene.bannerShown);
  const int row = static_cast<int>(std::lround(rig.scene.bannerPos.y)) + 16;
  const int green = 60 * static_cast<int>(rig.scene.messageIndex - 3);
  for (int x : {0, 1, 50, 120, 199}) {
    const Rgb p = rig.Pixel(x, row);
    EXPECT_NEAR(p[0], (x + 156) / 2, 1) << "column " << x << " " << Show(p);
    EXPECT_NEAR(p[1], green, 1) << "column " << x << " " << Show(p);
  }
}

TEST_F(SceneDriver, CleanupTwiceReleasesOnceAndKeepsTheViewsPicture) {
  Rig rig;
  ASSERT_TRUE(rig.Build(false, 256, 256, 2));
  rig.Frames(30);
  const GLuint picture = rig.background.texID;
  ASSERT_NE(picture, 0u);
  ASSERT_EQ(rig.scene.bgTexID, picture);
  const GLuint logo = rig.scene.textures[1].texID;
  ASSERT_TRUE(glIsTexture(logo));

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    rig.scene.Cleanup();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_FALSE(rig.scene.aquarium);
    EXPECT_FALSE(rig.scene.textures);
    EXPECT_EQ(rig.scene.numTextures, 0);
    EXPECT_EQ(rig.scene.bgTexID, 0u);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsTexture(logo));
    // The picture belongs to the record that created it.
    EXPECT_TRUE(glIsTexture(picture));
  }
  // A cleaned-up scene draws nothing.
  glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
  rig.Frames(3);
  EXPECT_TRUE(Near(rig.Pixel(128, 128), {51, 102, 153}, 1));

  // And it can be built again.
  ASSERT_TRUE(rig.Build(false, 256, 256, 2));
  rig.Frames(3);
  EXPECT_TRUE(Near(rig.Pixel(128, 20), kBackground, 2)) << Show(rig.Pixel(128, 20));
}

TEST_F(SceneDriver, FailedSetupOnlyClearsTheViewFrameAfterFrame) {
  struct Case {
    const char* what;
    std::string pack;
    bool withTypes;
    bool missingPack;
  } cases[] = {{"no resource file", {}, true, true},
               {"no butterfly types", {}, false, false},
               {"truncated resource file", TestResourcePack(8).substr(0, 1000), true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    if (c.missingPack) rig.resourceFile = rig.dir.File("missing.vessimots");
    if (!c.pack.empty()) WriteBytes(rig.resourceFile, c.pack);
    if (!c.withTypes) std::remove(rig.dir.File("GOT-F.bfly").c_str());
    ASSERT_FALSE(rig.Build(false, 256, 256, 3, true));
    EXPECT_FALSE(rig.scene.ready);

    GLint projectionDepth = 0, modelViewDepth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelViewDepth);
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    // Past the first banner and two messages, with the operations the frame
    // loop never calls as well.
    for (int frame = 0; frame < 8000; ++frame) {
      ViewFrame(&rig.scene, 256, 256, kStep);
      rig.scene.DoOverlay();
      rig.scene.DoIntro();
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    for (int y : {5, 128, 250})
      for (int x : {5, 128, 250}) EXPECT_TRUE(Near(rig.Pixel(x, y), {51, 102, 153}, 1)) << x << ", " << y;
    GLint depth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, projectionDepth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, modelViewDepth);
    EXPECT_EQ(rig.scene.messageFade, 0.0f);
    glClearColor(0, 0, 0, 0);
  }
}

TEST_F(SceneDriver, MissingResourceImagesAreSkipped) {
  // Three lumps: the logo is there; the message strips and the second intro
  // image are not.
  {
    Rig rig(3);
    ASSERT_TRUE(rig.Build(false, 256, 256));
    ASSERT_EQ(rig.scene.numTextures, 3);
    rig.RunTo(79.0);
    ASSERT_TRUE(rig.scene.bannerShown);
    const int row = static_cast<int>(std::lround(rig.scene.bannerPos.y)) + 16;
    // 256 wide, the logo fills the width wherever it is; the strip that
    // would be drawn over it is missing, so the logo shows.
    const Rgb logo = rig.Pixel(100, row);
    EXPECT_NEAR(logo[0], 100, 1) << Show(logo);
    EXPECT_NEAR(logo[1], 64 + 4 * 16, 4) << Show(logo);
    for (int i = 0; i < 900; ++i) {
      rig.scene.Update(kStep);
      rig.scene.DoIntro();
    }
    EXPECT_TRUE(rig.scene.introDone);
  }
  {
    // The centre message has no image: only the darkened background shows.
    Rig rig(3);
    ASSERT_TRUE(rig.Build(false, 256, 256));
    rig.RunTo(41.0);
    // The background is drawn before this frame's overlay moves the fade on.
    const float fade = rig.scene.messageFade;
    ASSERT_GT(fade, 0.3f);
    rig.Frames(1);
    const Rgb middle = rig.Pixel(128, 128);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(middle[i], kBackground[i] * (1 - fade), 2) << Show(middle);
  }
  {
    // A logo slot whose lump is not an image has no texture: nothing is
    // drawn there (not an untextured quad).
    auto image = [](int w, int h) {
      TgaImage tga;
      tga.width = static_cast<uint16_t>(w);
      tga.height = static_cast<uint16_t>(h);
      tga.pixels.assign(size_t(w) * h * 3, 200);
      LumpSpec lump;
      lump.bytes = MakeTga(tga, false);
      return lump;
    };
    std::vector<LumpSpec> lumps = {image(8, 8), image(256, 32), image(8, 8)};
    lumps[1].type = 0;
    Rig rig(0, MakeResFile(lumps));
    ASSERT_TRUE(rig.Build(false, 256, 256));
    ASSERT_EQ(rig.scene.textures[1].texID, 0u);
    rig.RunTo(79.0);
    ASSERT_TRUE(rig.scene.bannerShown);
    const int row = static_cast<int>(std::lround(rig.scene.bannerPos.y)) + 16;
    EXPECT_TRUE(Near(rig.Pixel(100, row), kBackground, 2)) << Show(rig.Pixel(100, row));
  }
}

TEST_F(SceneDriver, IntroFadesInThenOut) {
  Rig rig;
  ASSERT_TRUE(rig.Build(false, 256, 256));
  double aVisible = -1, bVisible = -1, done = -1;
  while (rig.scene.elapsed < 20.0) {
    rig.scene.Update(kStep);
    rig.scene.DoIntro();
    if (aVisible < 0 && rig.scene.introAlphaA > 0) aVisible = rig.scene.elapsed;
    if (bVisible < 0 && rig.scene.introAlphaB > 0) bVisible = rig.scene.elapsed;
    if (done < 0 && rig.scene.introDone) done = rig.scene.elapsed;
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  // A waits 5 s and takes 1 s to appear; then B waits 1 s; both fade out
  // from 12 s, one after the other.
  EXPECT_NEAR(aVisible, 5.0, 0.05);
  EXPECT_NEAR(bVisible, 7.0, 0.05);
  EXPECT_NEAR(done, 14.0, 0.1);
}

TEST_F(SceneDriver, AuxiliaryOperations) {
  {
    const GLuint name = EmptyTexture();
    ASSERT_NE(name, 0u);
    GLint w = 0, h = 0, format = 0, wrapS = 0, wrapT = 0, minFilter = 0, magFilter = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 128);
    EXPECT_TRUE(format == 4 || format == GL_RGBA) << format;  // four components
    EXPECT_EQ(wrapS, GL_REPEAT);
    EXPECT_EQ(wrapT, GL_REPEAT);
    EXPECT_EQ(minFilter, GL_LINEAR);
    EXPECT_EQ(magFilter, GL_LINEAR);
    std::vector<uint8_t> pixels(128 * 128 * 4, 0xff);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0), static_cast<long>(pixels.size()));
    glDeleteTextures(1, &name);
  }
  {
    // ViewOrtho and ViewPerspective leave both matrices and stacks as they were.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    GLdouble projection[16], modelView[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);

    ViewOrtho();
    GLint mode = 0, depth = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 2);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 2);
    GLdouble m[16];
    glGetDoublev(GL_PROJECTION_MATRIX, m);
    // glOrtho(0, 128, 128, 0, -1, 1): y runs down.
    EXPECT_DOUBLE_EQ(m[0], 2.0 / 128);
    EXPECT_DOUBLE_EQ(m[5], -2.0 / 128);
    EXPECT_DOUBLE_EQ(m[12], -1.0);
    EXPECT_DOUBLE_EQ(m[13], 1.0);
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], i % 5 == 0 ? 1.0 : 0.0);

    ViewPerspective();
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    glGetDoublev(GL_PROJECTION_MATRIX, m);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], projection[i]);
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], modelView[i]);
  }
  {
    // Clock tells the local time of day; read again if a second turned over.
    for (int tries = 0; tries < 3; ++tries) {
      const std::time_t before = std::time(nullptr);
      int hour = -1, minute = -1, second = -1;
      Clock(&hour, &minute, &second);
      if (std::time(nullptr) != before) continue;
      std::tm local{};
      localtime_r(&before, &local);
      EXPECT_EQ(hour, local.tm_hour);
      EXPECT_EQ(minute, local.tm_min);
      EXPECT_EQ(second, local.tm_sec);
      break;
    }
    Clock(nullptr, nullptr, nullptr);
  }
}
