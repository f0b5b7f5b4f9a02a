#include "scene/Shadows.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <array>
#include <cmath>
#include <vector>

#include "tests/support/GLTest.h"

namespace {

// M * (x, y, z, 1), all four components.
std::array<double, 4> Apply(const double* m, double x, double y, double z) {
  std::array<double, 4> r{};
  for (int row = 0; row < 4; ++row)
    r[row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
  return r;
}

// The scene's plane, light as a direction.
void SceneShadowMatrix(double* m, float lx, float ly, float lz) {
  ShadowMatrixf(m, kShadowPlane[0], kShadowPlane[1], kShadowPlane[2], kShadowPlane[3], lx, ly, lz,
                0.0f);
}

// The scene's normal drawing state, which EndShadows returns to.
void SetSceneDrawingState() {
  glEnable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glDepthMask(GL_TRUE);
  glShadeModel(GL_SMOOTH);
  glColor4f(1, 1, 1, 1);
}

// Back to what the other tests of this program expect.
void ResetState() {
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  glShadeModel(GL_SMOOTH);
  glColor4f(1, 1, 1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

struct GLState {
  GLboolean lighting = GL_FALSE;
  GLboolean texture = GL_FALSE;
  GLboolean depthTest = GL_FALSE;
  GLboolean depthMask = GL_FALSE;
  GLint shadeModel = 0;
  GLint stackDepth = 0;
  std::array<GLfloat, 4> colour{};
  std::array<GLdouble, 16> modelView{};
};

GLState ReadState() {
  GLState s;
  s.lighting = glIsEnabled(GL_LIGHTING);
  s.texture = glIsEnabled(GL_TEXTURE_2D);
  s.depthTest = glIsEnabled(GL_DEPTH_TEST);
  glGetBooleanv(GL_DEPTH_WRITEMASK, &s.depthMask);
  glGetIntegerv(GL_SHADE_MODEL, &s.shadeModel);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.stackDepth);
  glGetFloatv(GL_CURRENT_COLOR, s.colour.data());
  glGetDoublev(GL_MODELVIEW_MATRIX, s.modelView.data());
  return s;
}

}  // namespace

TEST(Shadows, MatrixFlattensOntoThePlane) {
  double m[16];
  {
    // Oblique light: a point 10 in front of the plane slides 10 along -x.
    SceneShadowMatrix(m, 10, 0, 10);
    const auto p = Apply(m, 0, 0, -30.5);
    EXPECT_DOUBLE_EQ(p[0], -100);
    EXPECT_DOUBLE_EQ(p[1], 0);
    EXPECT_DOUBLE_EQ(p[2], -405);
    EXPECT_DOUBLE_EQ(p[3], 10);
  }
  {
    // Light on the z axis: x and y stay, z becomes the plane's.
    SceneShadowMatrix(m, 0, 0, 100);
    const auto p = Apply(m, 3, -7, 12);
    EXPECT_DOUBLE_EQ(p[0] / p[3], 3);
    EXPECT_DOUBLE_EQ(p[1] / p[3], -7);
    EXPECT_DOUBLE_EQ(p[2] / p[3], -40.5);
  }
  {
    // A point already on the plane stays where it is.
    SceneShadowMatrix(m, 3, -4, 20);
    const auto p = Apply(m, 5, 6, -40.5);
    EXPECT_DOUBLE_EQ(p[0] / p[3], 5);
    EXPECT_DOUBLE_EQ(p[1] / p[3], 6);
    EXPECT_DOUBLE_EQ(p[2] / p[3], -40.5);
  }
  {
    // A point light (lw = 1) projects through the light position: from
    // (0, 0, 100) through (10, 0, 0) the ray meets z = -40.5 at x = 14.05.
    ShadowMatrixf(m, 0, 0, 1, 40.5f, 0, 0, 100, 1);
    const auto p = Apply(m, 10, 0, 0);
    EXPECT_NEAR(p[0] / p[3], 14.05, 1e-12);
    EXPECT_NEAR(p[2] / p[3], -40.5, 1e-12);
  }
  {
    // Each element is a float product: 0.1f * 3 rounded to float, not the
    // exact double product of the two floats.
    ShadowMatrixf(m, 0, 0.1f, 1, 0, 3, 0, 1, 0);
    EXPECT_EQ(m[4], static_cast<double>(-(0.1f * 3.0f)));
    EXPECT_NE(m[4], -(static_cast<double>(0.1f) * 3.0));
  }
  ShadowMatrixf(nullptr, 0, 0, 1, 0, 0, 0, 1, 0);  // ignored
}

using ShadowsGL = GLTest;

TEST_F(ShadowsGL, StatesInsideAndAfterThePair) {
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(1, 2, 3);
  glEnable(GL_DEPTH_TEST);
  SetSceneDrawingState();
  const GLState before = ReadState();

  StartShadows({10, 0, 10}, 0.25f);
  const GLState inside = ReadState();
  EXPECT_FALSE(inside.lighting);
  EXPECT_FALSE(inside.texture);
  EXPECT_FALSE(inside.depthMask);
  EXPECT_TRUE(inside.depthTest);  // left as the scene set it
  EXPECT_EQ(inside.shadeModel, GL_FLAT);
  EXPECT_EQ(inside.colour, (std::array<GLfloat, 4>{0, 0, 0, 0.25f}));
  EXPECT_EQ(inside.stackDepth, before.stackDepth + 1);
  {
    // The shadow matrix is multiplied onto the model-view matrix.
    MATRIX expected;
    expected.SetTranslation({1, 2, 3});
    MATRIX shadow;
    SceneShadowMatrix(shadow.m, 10, 0, 10);
    expected = MultiplyMatrix(expected, shadow);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(inside.modelView[i], expected.m[i], 1e-4) << i;
  }

  EndShadows(0.25f);
  const GLState after = ReadState();
  EXPECT_TRUE(after.lighting);
  EXPECT_TRUE(after.texture);
  EXPECT_TRUE(after.depthMask);
  EXPECT_TRUE(after.depthTest);
  EXPECT_EQ(after.shadeModel, GL_SMOOTH);
  EXPECT_EQ(after.colour, (std::array<GLfloat, 4>{1, 1, 1, 1}));
  EXPECT_EQ(after.stackDepth, before.stackDepth);
  EXPECT_EQ(after.modelView, before.modelView);

  {
    // EndShadows sets the scene's drawing state rather than restoring what
    // came before, and ignores its argument.
    ResetState();
    StartShadows({0, 0, 100}, 1.0f);
    EndShadows(0.0f);
    const GLState first = ReadState();
    ResetState();
    StartShadows({0, 0, 100}, 1.0f);
    EndShadows(-7.5f);
    const GLState second = ReadState();
    EXPECT_TRUE(first.lighting);
    EXPECT_TRUE(first.texture);
    EXPECT_EQ(first.colour, second.colour);
    EXPECT_EQ(first.lighting, second.lighting);
    EXPECT_EQ(first.depthMask, second.depthMask);
    EXPECT_EQ(first.shadeModel, second.shadeModel);
    EXPECT_EQ(first.stackDepth, second.stackDepth);
  }
  ResetState();
}

// A quad at z = 0 drawn in the shadow state lands flattened on z = -40.5, seen
// through the scene's camera, in black of the given alpha, without touching
// the depth buffer.
TEST_F(ShadowsGL, DrawsTheFlattenedQuadOnThePlane) {
  glMatrixMode(GL_PROJECTION);
  gluPerspective(45.0, 1.0, 1.0, 120.0);
  glMatrixMode(GL_MODELVIEW);
  gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
  glClearColor(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_LIGHT0);  // lit, the quad would come out grey, not black
  SetSceneDrawingState();

  GLdouble model[16], proj[16];
  GLint viewport[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, model);
  glGetDoublev(GL_PROJECTION_MATRIX, proj);
  glGetIntegerv(GL_VIEWPORT, viewport);
  auto windowX = [&](double x, double z) {
    GLdouble wx = 0, wy = 0, wz = 0;
    gluProject(x, 0, z, model, proj, viewport, &wx, &wy, &wz);
    return wx;
  };

  // The light slightly off the z axis: x moves by -lx / lz * 40.5 = -4.05.
  StartShadows({1, 0, 10}, 0.5f);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glBegin(GL_QUADS);
  glVertex3f(-10, -10, 0);
  glVertex3f(10, -10, 0);
  glVertex3f(10, 10, 0);
  glVertex3f(-10, 10, 0);
  glEnd();
  glDisable(GL_BLEND);
  EndShadows(1.0f);

  const std::vector<uint8_t> px = Context().ReadPixels();
  const int row = kHeight / 2;
  auto red = [&](double x) {
    return px[(static_cast<size_t>(row) * kWidth + static_cast<int>(x)) * 4];
  };
  const double left = windowX(-14.05, -40.5), right = windowX(5.95, -40.5);
  const double unflattenedRight = windowX(10, 0);
  ASSERT_LT(right + 6, unflattenedRight);
  // Half-transparent black over white, just inside either edge.
  EXPECT_NEAR(red(left + 2), 128, 2);
  EXPECT_NEAR(red(right - 2), 128, 2);
  EXPECT_NEAR(red(kWidth / 2.0), 128, 2);
  // Untouched outside, including where the quad itself would have been.
  EXPECT_EQ(red(left - 2), 255);
  EXPECT_EQ(red(right + 2), 255);
  EXPECT_EQ(red(unflattenedRight - 2), 255);

  std::vector<GLfloat> depth(static_cast<size_t>(kWidth) * kHeight);
  glReadPixels(0, 0, kWidth, kHeight, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  for (GLfloat d : depth) {
    if (d != 1.0f) {
      ADD_FAILURE() << "the shadow wrote depth " << d;
      break;
    }
  }

  glDisable(GL_LIGHT0);
  glDepthFunc(GL_LESS);
  glClearColor(0, 0, 0, 0);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  ResetState();
}
