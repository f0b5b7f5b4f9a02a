#include "tests/support/GLTest.h"

#include <GL/gl.h>

OffscreenGL& GLTest::Context() {
  // Deliberately never destroyed: tearing the context down at exit unloads
  // Mesa's driver, whose own small allocations LeakSanitizer would then
  // report without symbols.
  static OffscreenGL& gl = *new OffscreenGL;
  if (gl.width() == 0) gl.Create(kWidth, kHeight);
  return gl;
}

void GLTest::SetUp() {
  OffscreenGL& gl = Context();
  ASSERT_GT(gl.width(), 0) << "offscreen OpenGL context: " << gl.error();
  ASSERT_TRUE(gl.MakeCurrent());
  while (glGetError() != GL_NO_ERROR) {
  }
  glViewport(0, 0, gl.width(), gl.height());
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void GLTest::TearDown() {
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "a test left a GL error";
}
