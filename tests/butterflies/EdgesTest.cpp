// Smooth edges and unbroken thin parts: a shipped type drawn from above into
// a framebuffer with and without multisampling, plain white on black, so
// every pixel's value is its coverage.
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <filesystem>
#include <string>
#include <vector>

#include "butterflies/ONEBFLY.h"
#include "datafiles/BFLYINFO.h"
#include "tests/support/GLTest.h"
#include "util/CString.h"

using Edges = GLTest;

namespace {

constexpr int kW = 1280;  // pixels
constexpr int kH = 720;

// Draws the butterfly of `type` at the origin seen from above (head down
// the screen) into a kW x kH framebuffer with `samples` samples per pixel;
// returns the resolved grey levels, bottom row first.
std::vector<uint8_t> DrawFromAbove(BFLYDATA* type, int samples) {
  GLuint fbo[2], colour[2], depth = 0;
  glGenFramebuffers(2, fbo);
  glGenRenderbuffers(2, colour);
  glGenRenderbuffers(1, &depth);
  glBindRenderbuffer(GL_RENDERBUFFER, colour[0]);
  glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, kW, kH);
  glBindRenderbuffer(GL_RENDERBUFFER, depth);
  glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT24, kW, kH);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo[0]);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour[0]);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
  glBindRenderbuffer(GL_RENDERBUFFER, colour[1]);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kW, kH);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo[1]);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour[1]);

  glBindFramebuffer(GL_FRAMEBUFFER, fbo[0]);
  glViewport(0, 0, kW, kH);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<double>(kW) / kH, 1.0, 120.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
  glColor3f(1, 1, 1);
  ONEBFLY b;
  if (b.SetupFromBFlyData(type)) {
    // White lines, as the untextured fill is white.
    b.lineColours.assign(b.lineColours.size(), 255);
    b.RevertPoints(b.joints);
    b.UpdateSkeleton();
    b.UpdatePoints(b.joints);
    // Rotated a quarter turn about x: the back faces the camera.
    for (int i = 0; i < 16; ++i) b.orientation.m[i] = i % 5 == 0 ? 1 : 0;
    b.orientation.m[5] = 0;
    b.orientation.m[6] = 1;
    b.orientation.m[9] = -1;
    b.orientation.m[10] = 0;
    b.Draw(false);
  }
  glDisable(GL_DEPTH_TEST);

  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo[0]);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo[1]);
  glBlitFramebuffer(0, 0, kW, kH, 0, 0, kW, kH, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo[1]);
  std::vector<uint8_t> rgba(static_cast<size_t>(kW) * kH * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(2, fbo);
  glDeleteRenderbuffers(2, colour);
  glDeleteRenderbuffers(1, &depth);
  std::vector<uint8_t> grey(static_cast<size_t>(kW) * kH);
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = rgba[i * 4];
  return grey;
}

// The 8-connected groups of lit pixels.
int Components(std::vector<uint8_t> grey) {
  int count = 0;
  std::vector<int> stack;
  for (int start = 0; start < kW * kH; ++start) {
    if (grey[start] == 0) continue;
    ++count;
    stack.push_back(start);
    grey[start] = 0;
    while (!stack.empty()) {
      const int p = stack.back();
      stack.pop_back();
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const int x = p % kW + dx, y = p / kW + dy;
          if (x < 0 || y < 0 || x >= kW || y >= kH || grey[y * kW + x] == 0) continue;
          grey[y * kW + x] = 0;
          stack.push_back(y * kW + x);
        }
      }
    }
  }
  return count;
}

}  // namespace

TEST_F(Edges, SmoothWithSamplesAndAntennaeNeverBroken) {
  const std::string folder = std::string(WINGDRIFT_BINARY_DIR) + "/data/";
  if (!std::filesystem::exists(folder + "GOT-F.bfly")) {
    GTEST_SKIP() << "the build has not generated its data in " << folder;
  }
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  for (const float size : {0.1f, 0.7f, 1.9f}) {
    BFLYINFO info;
    CopyCString(info.fileName, "GOT-F.bfly");
    CopyCString(info.path, folder.c_str());
    ASSERT_TRUE(info.LoadData(info.path, size));
    for (const int samples : {0, 4}) {
      const std::vector<uint8_t> grey = DrawFromAbove(info.data.get(), samples);
      int lit = 0, partial = 0;
      for (uint8_t v : grey) {
        lit += v > 0;
        partial += v > 0 && v < 255;
      }
      SCOPED_TRACE(testing::Message() << "size " << size << ", " << samples << " samples");
      ASSERT_GT(lit, 20);
      EXPECT_EQ(Components(grey), 1) << "body, antennae and wings in one piece";
      if (samples == 0) {
        EXPECT_EQ(partial, 0) << "without multisampling every pixel is in or out";
      } else if (size > 1.0f) {
        // A small butterfly is mostly its one-pixel lines, which are aliased.
        EXPECT_GT(partial, lit / 50) << "with it the outline has in-between values";
      }
    }
    info.data.reset();
  }
}
