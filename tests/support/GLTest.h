#pragma once
// GoogleTest fixture for tests that touch OpenGL: one real offscreen context
// per test program, made current before each test, with the GL state reset to
// the defaults a test expects (identity matrices, cleared buffers, no error).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "tests/support/OffscreenGL.h"

class GLTest : public ::testing::Test {
 public:
  static constexpr int kWidth = 256;
  static constexpr int kHeight = 256;
  static OffscreenGL& Context() {
    // Deliberately never destroyed: tearing the context down at exit unloads
    // Mesa's driver, whose own small allocations LeakSanitizer would then
    // report without symbols.
    static OffscreenGL& gl = *new OffscreenGL;
    if (gl.width() == 0) gl.Create(kWidth, kHeight);
    return gl;
  }

 protected:
  void SetUp() override {
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
  void TearDown() override {
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "a test left a GL error";
  }
};
