#include <GL/gl.h>
#include <GL/glu.h>

#include <cstring>
#include <string>

#include "tests/support/GLTest.h"

using GLContext = GLTest;

// The harness itself: a real compatibility-profile context where fixed-function
// drawing, GLU and glReadPixels work.
TEST_F(GLContext, DrawsFixedFunctionAndReadsBack) {
  const std::string version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  EXPECT_NE(version.find("Compatibility"), std::string::npos) << version;

  glMatrixMode(GL_PROJECTION);
  gluOrtho2D(0, 1, 0, 1);
  glMatrixMode(GL_MODELVIEW);
  glColor3f(1, 0, 0);
  glBegin(GL_QUADS);
  glVertex2f(0, 0);
  glVertex2f(0.5f, 0);
  glVertex2f(0.5f, 1);
  glVertex2f(0, 1);
  glEnd();
  const auto px = Context().ReadPixels();
  const size_t left = (10 * kWidth + 10) * 4, right = (10 * kWidth + kWidth - 10) * 4;
  EXPECT_EQ(px[left], 255);
  EXPECT_EQ(px[left + 1], 0);
  EXPECT_EQ(px[right], 0);
}
