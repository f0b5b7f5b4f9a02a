// A butterfly's own body: copied from its type, skinned by its wing strokes,
// drawn normally and as a shadow, in the real offscreen context.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "butterflies/ONEBFLY.h"
#include "scene/Shadows.h"
#include "tests/butterflies/FlockWatcher.h"
#include "tests/butterflies/LoadedType.h"
#include "tests/support/GLTest.h"
#include "tests/support/SceneView.h"
#include "util/Frustum.h"

using Body = GLTest;

namespace {

constexpr float kDt = 1.0f / 60.0f;

ButterflySpec ThreeColours() {
  ButterflySpec recipe;
  recipe.colours = {{{250, 0, 0}}, {{0, 250, 0}}, {{0, 0, 250}}};
  return recipe;
}

// Skins the body in its current pose without moving it.
void Pose(ONEBFLY* b) {
  b->RevertPoints(b->joints);
  b->UpdateSkeleton();
  b->UpdatePoints(b->joints);
}

// The scene's camera and projection on the test's square viewport, lighting
// off and textures replacing the colour, so pixels show texture colours.
void LoadView() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, 1.0, 1.0, 120.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
}

void UnloadView() {
  glDisable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glBindTexture(GL_TEXTURE_2D, 0);
}

// The window pixel of a world point under the current matrices.
struct Pixel {
  uint8_t r, g, b, a;
};
Pixel PixelAt(VECTOR3D p) {
  GLdouble model[16], proj[16];
  GLint view[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, model);
  glGetDoublev(GL_PROJECTION_MATRIX, proj);
  glGetIntegerv(GL_VIEWPORT, view);
  GLdouble wx, wy, wz;
  gluProject(p.x, p.y, p.z, model, proj, view, &wx, &wy, &wz);
  Pixel px{};
  glReadPixels(static_cast<GLint>(wx), static_cast<GLint>(wy), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &px);
  return px;
}

// Facing the camera with flat wings: a point of the right wing in world
// space, relative to the butterfly's position.
const VECTOR3D kRightWing = {3.0f, 0.3f, 0.0f};
const VECTOR3D kFacing = {90.0f, 0.0f, 0.0f};

}  // namespace

TEST_F(Body, CopiedFromTheType) {
  LoadedType type;
  ASSERT_TRUE(type.Load(ThreeColours()));
  BFLYDATA* data = type.data();
  const ONEBFLY& proto = *data->prototype;
  {
    // Each material draws a texture in order; everything else is a copy.
    const std::vector<int> r = [] {
      std::srand(3);
      std::vector<int> v = {std::rand(), std::rand(), std::rand()};
      std::srand(3);
      return v;
    }();
    ONEBFLY b;
    b.position = {5, 5, 5};
    b.angles = {1, 2, 3};
    ASSERT_TRUE(b.SetupFromBFlyData(data));
    EXPECT_EQ(b.bflyData, data);
    EXPECT_EQ(b.animTemplate, data->animTemplate.get());
    ASSERT_EQ(b.joints.size(), 3u);
    EXPECT_EQ(b.numJoints, 3);
    EXPECT_EQ(b.joints[1].parent, 0);
    EXPECT_EQ(b.joints[0].parent, -1);
    ASSERT_EQ(b.materials.size(), 2u);
    EXPECT_EQ(b.materials[0].texId, data->textures[r[0] % 3].texID);
    EXPECT_EQ(b.materials[1].texId, data->textures[r[1] % 3].texID);
    EXPECT_EQ(std::rand(), r[2]);
    EXPECT_EQ(b.materials[1].transparency, proto.materials[1].transparency);
    EXPECT_EQ(b.indices, proto.indices);
    EXPECT_NE(b.indices.data(), proto.indices.data());
    ASSERT_EQ(b.numVerts, proto.numVerts);
    EXPECT_EQ(std::memcmp(b.vertexBuffer.data(), proto.vertexBuffer.data(),
                          proto.vertexBuffer.size() * sizeof(MODELVERTEX)),
              0);
    EXPECT_EQ(b.groups.size(), proto.groups.size());
    EXPECT_EQ(b.numTriangles, proto.numTriangles);
    EXPECT_TRUE(CompareVectors(b.position, {0, 0, 0}));
    EXPECT_TRUE(CompareVectors(b.angles, {0, 0, 0}));
    EXPECT_EQ(b.endTime, 0.0f);
  }
  {
    // Ten butterflies of a three-texture type show a mix.
    std::set<uint32_t> seen;
    for (int i = 0; i < 10; ++i) {
      ONEBFLY b;
      ASSERT_TRUE(b.SetupFromBFlyData(data));
      seen.insert(b.materials[1].texId);
    }
    EXPECT_GE(seen.size(), 2u);
  }
  {
    ONEBFLY b;
    EXPECT_FALSE(b.SetupFromBFlyData(nullptr));
    BFLYDATA empty;
    EXPECT_FALSE(b.SetupFromBFlyData(&empty));
    EXPECT_EQ(b.bflyData, nullptr);
  }
  {
    // Butterflies only refer to the type's texture names.
    const uint32_t name = data->textures[0].texID;
    {
      ONEBFLY b;
      ASSERT_TRUE(b.SetupFromBFlyData(data));
    }
    EXPECT_TRUE(glIsTexture(name));
  }
}

TEST_F(Body, WingStrokesAndLift) {
  SetSceneFrustum(1920, 1080);
  LoadedType type;
  ASSERT_TRUE(type.Load(ThreeColours()));
  ONEBFLY b;
  ASSERT_TRUE(b.SetupFromBFlyData(type.data()));
  b.Reset();
  b.SetAction(ONEBFLY::kFlying);
  b.target = {0, 0, 30};
  {
    // A new butterfly's first stroke: it sinks, so it pauses a quarter as
    // long before the next one; lift builds while the wings rise.
    std::srand(51);
    const int speed = std::rand(), pause = std::rand();
    std::srand(51);
    b.Move(nullptr, 0, 0.75f, kDt);
    EXPECT_FLOAT_EQ(b.wingSpeed, (speed % 500) / 100.0f + 10.0f);
    EXPECT_FLOAT_EQ(b.wingTimer, (pause % 70) / 100.0f * 0.25f);
    EXPECT_EQ(b.wingTarget.z, 140.0f);
    EXPECT_FLOAT_EQ(b.lift, -100.0f + 600.0f * kDt);
    EXPECT_FLOAT_EQ(b.wingAngles.z, 140.0f * b.wingSpeed * kDt);
    for (int i = 0; i < 16; ++i) {
      EXPECT_EQ(b.joints[1].animMatrix.m[i], b.wingMatrix.m[i]);
      EXPECT_EQ(b.joints[2].animMatrix.m[i], TransposeMatrix(b.wingMatrix).m[i]);
      EXPECT_EQ(b.joints[0].animMatrix.m[i], MATRIX{}.m[i]);
    }
  }
  {
    // Raised wings: both tips are above the body, which has not moved.
    float leftTip = 0, rightTip = 0;
    for (int i = 0; i < 10; ++i) b.Move(nullptr, 0, 0.75f, kDt);
    ASSERT_GT(b.wingAngles.z, 60.0f);
    const ONEBFLY& proto = *type.data()->prototype;
    for (size_t v = 0; v < b.vertexBuffer.size(); ++v) {
      const MODELVERTEX& m = b.vertexBuffer[v];
      if (m.boneId == 0) {
        EXPECT_TRUE(CompareVectors(m.position, proto.vertexBuffer[v].position));
      }
      if (m.boneId == 1 && m.position.x < leftTip) leftTip = m.position.x;
      if (m.boneId == 2 && m.position.x > rightTip) rightTip = m.position.x;
      if (m.boneId != 0 && std::fabs(m.position.x) > 2.0f) {
        EXPECT_GT(m.position.y, 1.0f);
      }
    }
    EXPECT_GT(leftTip, -4.3f);
    EXPECT_NEAR(leftTip, -rightTip, 1e-4f) << "the wings mirror each other";
  }
  {
    // Past 135 the wings fall, losing 30 of lift a frame down to -75; the
    // next stroke waits until they are below 10 and the pause is over.
    int frames = 0;
    while (b.wingTarget.z != 0.0f && frames++ < 100) b.Move(nullptr, 0, 0.75f, kDt);
    ASSERT_EQ(b.wingTarget.z, 0.0f);
    float lift = b.lift;
    while (b.wingAngles.z >= 10.0f && frames++ < 200) {
      b.Move(nullptr, 0, 0.75f, kDt);
      EXPECT_EQ(b.lift, std::max(lift - 30.0f, -75.0f));
      lift = b.lift;
    }
    EXPECT_EQ(b.lift, -75.0f);
    while (b.wingTarget.z == 0.0f && frames++ < 300) b.Move(nullptr, 0, 0.75f, kDt);
    EXPECT_EQ(b.wingTarget.z, 140.0f);
    EXPECT_LT(b.wingAngles.z, 10.0f + 140.0f * 15.0f * kDt);
  }
}

TEST_F(Body, WingsAtRestAndWithoutWingJoints) {
  SetSceneFrustum(1920, 1080);
  LoadedType type;
  ASSERT_TRUE(type.Load(ThreeColours()));
  {
    // Resting: the wings move for 0.2 s at rate 5 towards the opening, then
    // hold for 0 to 1.99 s with the matrix of the last moving frame.
    ONEBFLY b;
    ASSERT_TRUE(b.SetupFromBFlyData(type.data()));
    b.position = {0, 0, -40};
    b.landBlend = 1.0f;
    b.SetAction(ONEBFLY::kLanded);
    b.targetTimer = 100.0f;
    const float goal = b.wingTarget.z;
    b.Move(nullptr, 0, 0.75f, kDt);
    EXPECT_FLOAT_EQ(b.wingAngles.z, goal * 5.0f * kDt);
    EXPECT_EQ(b.joints[1].animMatrix.m[1], b.wingMatrix.m[1]);
    int frames = 1;
    while (b.wingTimer >= 0.0f || b.wingTimer > -0.2f) {
      b.Move(nullptr, 0, 0.75f, kDt);
      ++frames;
    }
    EXPECT_EQ(frames, 12) << "0.2 s of movement";
    std::srand(61);
    const int hold = std::rand(), opening = std::rand();
    std::srand(61);
    const MATRIX before = b.wingMatrix;
    b.Move(nullptr, 0, 0.75f, kDt);
    EXPECT_FLOAT_EQ(b.wingTimer, (hold % 200) / 100.0f);
    EXPECT_EQ(b.wingTarget.z, static_cast<float>(opening % 90));
    EXPECT_EQ(b.wingMatrix.m[1], before.m[1]);
    EXPECT_TRUE(CompareVectors(b.position, {0, 0, -40}));
  }
  {
    // Without wing joints the wings never move and strokes give no lift:
    // the new butterfly sinks at -100 until a blocked move sets it to 0.
    ButterflySpec recipe = ThreeColours();
    recipe.wingJoints = false;
    LoadedType still;
    ASSERT_TRUE(still.Load(recipe));
    ONEBFLY b;
    ASSERT_TRUE(b.SetupFromBFlyData(still.data()));
    b.Reset();
    b.SetAction(ONEBFLY::kFlying);
    b.position = {0, 20, 0};
    float lift = b.lift;
    for (int i = 0; i < 300; ++i) {
      b.Move(nullptr, 0, 0.75f, kDt);
      EXPECT_TRUE(b.lift == lift || b.lift == 0.0f) << i;
      lift = b.lift;
    }
    EXPECT_EQ(b.lift, 0.0f);
    EXPECT_TRUE(CompareVectors(b.wingAngles, {0, 0, 0}));
    for (const BASICJOINT& j : b.joints)
      for (int i = 0; i < 16; ++i) EXPECT_EQ(j.animMatrix.m[i], MATRIX{}.m[i]);
  }
}

TEST_F(Body, LongFramesStayBounded) {
  // A tenth of a second or more per frame (rate x dt beyond 1 for the wings)
  // up to the two seconds the host lets through: every approach stops at its
  // goal, nothing diverges.
  SetSceneFrustum(1024, 768);
  LoadedType type;
  ASSERT_TRUE(type.Load(ThreeColours(), 0.7f));
  for (float dt : {0.1f, 0.2f, 0.5f, 2.0f}) {
    std::srand(static_cast<unsigned>(dt * 1000));
    ONEBFLY b;
    ASSERT_TRUE(b.SetupFromBFlyData(type.data()));
    b.Reset();
    b.SetAction(ONEBFLY::kFlying);
    b.position = {10, 0, 0};
    b.target = {-10, 5, 10};
    std::string why;
    for (int i = 0; i < 3000; ++i) {
      b.Move(nullptr, 0, 0.75f, dt);
      ASSERT_TRUE(CheckButterflyState(b, &why, 80.0f * dt)) << "dt " << dt << ", frame " << i << ": " << why;
      ASSERT_LE(b.throttle, 2.49f + 1e-4f);
      ASSERT_GE(b.airSpeed, 0.0f);
    }
  }
}

TEST_F(Body, DrawsItsTexture) {
  LoadedType type;
  ASSERT_TRUE(type.Load(ThreeColours()));
  BFLYDATA* data = type.data();
  LoadView();
  for (int i = 0; i < 6; ++i) {
    ONEBFLY b;
    ASSERT_TRUE(b.SetupFromBFlyData(data));
    b.action = ONEBFLY::kFlying;
    b.angles = kFacing;
    b.orientation = MatrixFromAngle(b.angles);
    Pose(&b);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    b.Draw(false);
    int k = 0;
    while (k < 3 && data->textures[k].texID != b.materials[1].texId) ++k;
    ASSERT_LT(k, 3);
    const Pixel p = PixelAt(kRightWing);
    EXPECT_EQ(p.r, k == 0 ? 250 : 0) << i;
    EXPECT_EQ(p.g, k == 1 ? 250 : 0) << i;
    EXPECT_EQ(p.b, k == 2 ? 250 : 0) << i;
  }
  {
    // Groups without a material draw with the texture bound at the time;
    // the vertex arrays are off again afterwards.
    ONEBFLY b;
    ASSERT_TRUE(b.SetupFromBFlyData(data));
    b.angles = kFacing;
    b.orientation = MatrixFromAngle(b.angles);
    Pose(&b);
    ONEBFLY bare = b;
    for (MODELGROUP& g : bare.groups) g.materialIndex = -1;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBindTexture(GL_TEXTURE_2D, data->textures[1].texID);
    bare.Draw(false);
    EXPECT_EQ(PixelAt(kRightWing).g, 250);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);

    // A material with bit 7 of its mode set draws with generated texture
    // coordinates, switched off again after its group.
    b.materials[1].mode = -128;
    b.Draw(false);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));

    // Groups outside the mesh, and incomplete bodies, draw nothing.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    b.DrawGroup(static_cast<int>(b.groups.size()), false);
    b.DrawGroup(-1, false);
    ONEBFLY().Draw(false);
    ONEBFLY noType = b;
    noType.bflyData = nullptr;
    noType.Draw(false);
    EXPECT_EQ(PixelAt(kRightWing).a, 0);
  }
  UnloadView();
}

TEST_F(Body, ShadowOpacityByDepth) {
  LoadedType type;
  ASSERT_TRUE(type.Load(ThreeColours()));
  ONEBFLY b;
  ASSERT_TRUE(b.SetupFromBFlyData(type.data()));
  b.angles = kFacing;
  b.orientation = MatrixFromAngle(b.angles);
  Pose(&b);
  LoadView();
  GLuint sentinel = type.data()->textures[2].texID;
  // As in the scene's shadow pass: back faces culled, so each point of the
  // two-sided wings is darkened once.
  glEnable(GL_CULL_FACE);
  // (z + 40) / -40 + 0.5: 0.5 at the back limit, 0.25 at -30, none from -20.
  for (const auto& [z, grey] : {std::pair{-40.0f, 128}, {-30.0f, 191}, {-20.0f, 255}, {-10.0f, 255}}) {
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBindTexture(GL_TEXTURE_2D, sentinel);
    b.position = {0, 0, z};
    StartShadows({0, 0, 100}, 1.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    b.Draw(true);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    // The silhouette lies on the shadow plane, straight behind the wing.
    const Pixel p = PixelAt({kRightWing.x, kRightWing.y, -kShadowPlane[3]});
    const Pixel off = PixelAt({0, 15, -kShadowPlane[3]});
    EndShadows(1.0f);
    EXPECT_NEAR(p.r, grey, 1) << z;
    EXPECT_EQ(p.r, p.g) << "black, whatever the texture";
    EXPECT_EQ(off.r, 255);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), sentinel) << "the shadow pass binds no texture";
  }
  glClearColor(0, 0, 0, 0);
  glDisable(GL_LIGHTING);
  glDisable(GL_CULL_FACE);
  UnloadView();
}
