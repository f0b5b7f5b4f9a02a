#pragma once
// GoogleTest fixture for tests that touch OpenGL: one real offscreen context
// per test program, made current before each test, with the GL state reset to
// the defaults a test expects (identity matrices, cleared buffers, no error).
#include <gtest/gtest.h>

#include "tests/support/OffscreenGL.h"

class GLTest : public ::testing::Test {
 public:
  static constexpr int kWidth = 256;
  static constexpr int kHeight = 256;
  static OffscreenGL& Context();

 protected:
  void SetUp() override;
  void TearDown() override;
};
