#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "models/ANIMATIONTEMPLATE.h"
#include "models/MS3D.h"
#include "models/ONEMODEL.h"
#include "models/Playback.h"
#include "tests/models/ModelTestSupport.h"

namespace {

// A loaded, prepared model with its template.
struct Prepared {
  MS3D model;
  ANIMATIONTEMPLATE animTemplate;
};

void Prepare(Prepared* p, const MS3DWriter& writer) {
  ASSERT_TRUE(LoadBytes(&p->model, writer.Bytes()));
  p->model.InitialSetup();
  ASSERT_TRUE(p->animTemplate.Setup(&p->model));
}

bool SameBuffer(const std::vector<MODELVERTEX>& a, const std::vector<MODELVERTEX>& b,
                float tolerance) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!Near(a[i].position, b[i].position, tolerance) || !Near(a[i].normal, b[i].normal, tolerance))
      return false;
  return true;
}

bool SameBits(VECTOR3D a, VECTOR3D b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

}  // namespace

TEST(OneModel, SkinningIsTheMathLibrarysArithmetic) {
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) / static_cast<float>(1 << 24) * 200.0f - 100.0f;
  };
  for (int i = 0; i < 1000; ++i) {
    MATRIX m = QuatToRotationMatrix(RotationToQuat({next() * 3, next() * 3, next() * 3}));
    m.SetTranslation({next(), next(), next()});
    const VECTOR3D p{next(), next(), next()};
    ASSERT_TRUE(SameBits(SkinPoint(m, p), MatrixTranslatePoint(m, MatrixRotatePoint(m, p))));
    ASSERT_TRUE(SameBits(SkinNormal(m, p), MatrixRotatePoint(m, p)));
    ASSERT_TRUE(SameBits(UnskinPoint(m, p),
                         MatrixInverseRotatePoint(m, MatrixInverseTranslatePoint(m, p))));
    ASSERT_TRUE(SameBits(UnskinNormal(m, p), MatrixInverseRotatePoint(m, p)));
  }
}

TEST(OneModel, WeldsCornersThatAgreeInEverything) {
  {
    Prepared p;
    Prepare(&p, QuadModel(0, 0, 1, 1));
    ONEMODEL inst;
    const uint32_t texture = 7;
    ASSERT_TRUE(inst.Setup(&p.animTemplate, &p.model, &texture));
    EXPECT_EQ(inst.numVerts, 4);
    EXPECT_EQ(inst.numTriangles, 2);
    EXPECT_EQ(inst.indices, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(inst.vertexBuffer[0].t, 0.0f) << "t flipped: 1 - 1";
    EXPECT_EQ(inst.vertexBuffer[2].t, 1.0f);
    EXPECT_EQ(inst.vertexBuffer[0].boneId, -1);
    EXPECT_TRUE(Near(inst.vertexBuffer[2].normal, {0, 0, 1}, 0));
    EXPECT_EQ(inst.numJoints, 0);
  }
  {
    // The same corner with another normal, or another joint, is another entry.
    MS3DWriter w = QuadModel(0, 0, 1, 1);
    w.triangles[1].normals[0] = {0, 1, 0};
    Prepared p;
    Prepare(&p, w);
    ONEMODEL inst;
    ASSERT_TRUE(inst.Setup(&p.animTemplate, &p.model, nullptr));
    EXPECT_EQ(inst.numVerts, 5);
    EXPECT_EQ(inst.indices, (std::vector<uint16_t>{0, 1, 2, 3, 2, 4}));
  }
  {
    // A NaN never equals anything, itself included.
    ONEMODEL inst;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float position[3] = {nan, 0, 0};
    const float normal[3] = {0, 0, 1};
    const float zero[3] = {-0.0f, 0, 0};
    EXPECT_EQ(inst.AddVertToBuffer(position, normal, 0, 0, -1), 0);
    EXPECT_EQ(inst.AddVertToBuffer(position, normal, 0, 0, -1), 1);
    EXPECT_EQ(inst.AddVertToBuffer(zero, normal, 0, 0, -1), 2);
    EXPECT_EQ(inst.AddVertToBuffer(normal, normal, 0, 0, 3), 3);
    const float positiveZero[3] = {0, 0, 0};
    EXPECT_EQ(inst.AddVertToBuffer(positiveZero, normal, 0, 0, -1), 2) << "-0 equals 0";
    EXPECT_EQ(inst.numVerts, 4);
  }
}

TEST(OneModel, GroupsMaterialsAndEmptyGroups) {
  MS3DWriter w = ArmModel();
  w.materials[0].mode = -1;
  w.materials[0].transparency = 0.5f;
  w.materials[0].ambient = {0.1f, 0.2f, 0.3f, 0.4f};
  w.groups.insert(w.groups.begin() + 1, MS3DWriter::Group{"empty", {}, -1, 0});
  Prepared p;
  Prepare(&p, w);
  ONEMODEL inst;
  const uint32_t texture = 42;
  ASSERT_TRUE(inst.Setup(&p.animTemplate, &p.model, &texture));
  ASSERT_EQ(inst.numGroups, 3);
  EXPECT_EQ(inst.numTriangles, 3);
  EXPECT_EQ(inst.indices.size(), 9u);
  EXPECT_EQ(inst.groups[0].firstIndex, 0u);
  EXPECT_EQ(inst.groups[0].materialIndex, 0);
  EXPECT_EQ(inst.groups[1].firstIndex, 6u) << "the running count";
  EXPECT_EQ(inst.groups[1].numTriangles, 0);
  EXPECT_EQ(inst.groups[2].firstIndex, 6u);
  EXPECT_EQ(inst.groups[2].materialIndex, -1);
  ASSERT_EQ(inst.numMaterials, 1);
  EXPECT_EQ(inst.materials[0].texId, 42u);
  EXPECT_EQ(inst.materials[0].mode, -1);
  EXPECT_EQ(inst.materials[0].transparency, 0.5f);
  EXPECT_EQ(inst.materials[0].ambient[2], 0.3f);
  ASSERT_EQ(inst.numJoints, 2);
  EXPECT_EQ(inst.joints[1].parent, 0);
  EXPECT_EQ(inst.animTemplate, &p.animTemplate);
}

TEST(OneModel, PlaysTheTemplateExactlyAsTheModelPlaysItsKeys) {
  Prepared p;
  Prepare(&p, ArmModel());
  ONEMODEL inst;
  ASSERT_TRUE(inst.Setup(&p.animTemplate, &p.model, nullptr));
  {
    // Nothing to play before a range is set.
    inst.Animate(0.5);
    EXPECT_EQ(inst.currentTime, 0.0f);
    EXPECT_TRUE(inst.joints[0].animMatrix.m[0] == 1.0 && inst.joints[0].animMatrix.m[1] == 0.0);
    EXPECT_TRUE(Near(inst.joints[0].currentTranslation, {0, 0, 0}, 0));
  }
  MS3D& m = p.model;
  m.UpdatePoints();  // into model space, as the frames below expect
  m.SetAnimation(3, 27, 1000, true, false);
  inst.SetAnimation(3, 27, 1000, true, false);
  inst.blendSpeed = 2.0f;  // the model's cross-fade rate
  for (int frame = 0; frame < 90; ++frame) {
    if (frame == 40) {
      m.SetAnimation(10, 20, 500, false, true);
      inst.SetAnimation(10, 20, 500, false, true);
    }
    const double dt = 1.0 / 30 + (frame % 3) * 0.004;
    m.RevertPoints();
    m.Animate(dt);
    m.UpdateSkeleton();
    m.UpdatePoints();
    inst.Update(dt);
    ASSERT_EQ(inst.currentTime, m.currentTime) << frame;
    for (size_t j = 0; j < 2; ++j)
      for (int e = 0; e < 16; ++e)
        ASSERT_NEAR(inst.joints[j].absolute.m[e], m.skeleton[j].absolute.m[e], 1e-9)
            << frame << " joint " << j;
    // Vertex 3 of the model is corner 1 of triangle 1, buffer entry 4 (corner
    // 0 differs from entry 1 in its normal).
    ASSERT_TRUE(Near(inst.vertexBuffer[4].position, V(m.vertices[3].vertex), 1e-5f)) << frame;
  }
  {
    // A held key is converted once, when the cursor arrives: an owner's
    // override of animMatrix (the butterfly's wings) survives until the
    // cursor moves on.
    inst.SetAnimation(0, 30, 1000, false, false);
    inst.Animate(0.1);
    ASSERT_EQ(inst.joints[1].currentRotKey, 0);
    const MATRIX wing = QuatToRotationMatrix(RotationToQuat({0, 45, 0}));
    inst.joints[1].animMatrix = wing;
    inst.Animate(0.1);
    EXPECT_EQ(inst.joints[1].animMatrix.m[8], wing.m[8]);
    inst.Animate(0.4);
    EXPECT_EQ(inst.joints[1].currentRotKey, 1);
    EXPECT_NE(inst.joints[1].animMatrix.m[8], wing.m[8]);
  }
}

TEST(OneModel, CrossFadeAndSkinningRoundTrip) {
  Prepared p;
  Prepare(&p, ArmModel());
  ONEMODEL inst;
  ASSERT_TRUE(inst.Setup(&p.animTemplate, &p.model, nullptr));
  inst.SetAnimation(0, 30, 1000, true, false);
  for (int i = 0; i < 7; ++i) inst.Update(0.05);

  inst.SetAnimation(15, 30, 1000, true, true);
  for (double dt : {-0.1, std::numeric_limits<double>::quiet_NaN()}) {
    inst.Update(dt);
    EXPECT_EQ(inst.blendFactor, 0.0f) << dt;
  }
  inst.Update(0.125);
  EXPECT_EQ(inst.blendFactor, 0.5f);
  EXPECT_EQ(inst.currentTime, 500.0f);
  inst.Update(0.125);
  EXPECT_FALSE(inst.blending);
  EXPECT_EQ(inst.blendFactor, 1.0f);
  EXPECT_EQ(inst.currentTime, 500.0f);
  inst.Update(0.1);
  EXPECT_EQ(inst.currentTime, 600.0f);
  inst.Update(-0.1);
  inst.speed = -1000.0f;
  inst.Update(0.1);
  EXPECT_EQ(inst.currentTime, 600.0f) << "backwards steps leave the clock";
  inst.speed = 1000.0f;

  const std::vector<MODELVERTEX> skinned = inst.vertexBuffer;
  inst.RevertPoints(inst.joints);
  EXPECT_FALSE(SameBuffer(inst.vertexBuffer, skinned, 1e-3f));
  inst.UpdatePoints(inst.joints);
  EXPECT_TRUE(SameBuffer(inst.vertexBuffer, skinned, 1e-5f));

  // A joint list without the entries' joints leaves them as they are.
  inst.UpdatePoints(std::span<const BASICJOINT>(inst.joints.data(), 1));
  EXPECT_TRUE(Near(inst.vertexBuffer[2].position, skinned[2].position, 0));
}

TEST(OneModel, SetupRefusesWhatDoesNotFitAndKeepsTheInstance) {
  Prepared arm;
  Prepare(&arm, ArmModel());
  Prepared quad;
  Prepare(&quad, QuadModel(0, 0, 1, 1));
  ONEMODEL inst;
  ASSERT_TRUE(inst.Setup(&quad.animTemplate, &quad.model, nullptr));
  auto unchanged = [&inst] { return inst.numVerts == 4 && inst.vertexBuffer.size() == 4; };

  EXPECT_FALSE(inst.Setup(nullptr, &arm.model, nullptr));
  EXPECT_FALSE(inst.Setup(&arm.animTemplate, nullptr, nullptr));
  EXPECT_TRUE(unchanged());
  // The arm's vertices name joints the quad's template does not have.
  EXPECT_FALSE(inst.Setup(&quad.animTemplate, &arm.model, nullptr));
  EXPECT_TRUE(unchanged());

  {
    // Triangles of all groups together: 65535 fit, 65536 do not.
    MS3DWriter w = QuadModel(0, 0, 1, 1);
    w.groups[0].triangles.assign(40000, 0);
    w.AddGroup("more");
    w.groups[1].triangles.assign(25535, 1);
    Prepared big;
    Prepare(&big, w);
    ONEMODEL ok;
    EXPECT_TRUE(ok.Setup(&big.animTemplate, &big.model, nullptr));
    EXPECT_EQ(ok.numTriangles, 65535);
    EXPECT_EQ(ok.numVerts, 4);

    big.model.groups[1].triangleIndices.push_back(1);
    big.model.groups[1].numTriangles++;
    EXPECT_FALSE(inst.Setup(&big.animTemplate, &big.model, nullptr));
    EXPECT_TRUE(unchanged());
  }
  {
    // Welded entries: 65535 fit; one more has no 16-bit index.
    MS3DWriter w;
    const int g = w.AddGroup("fan");
    w.AddVertex({0, 0, 0});
    for (int i = 0; i < 21845; ++i) {
      const float s = static_cast<float>(3 * i);
      w.AddTriangle(g, 0, 0, 0, {s, 0}, {s + 1, 0}, {s + 2, 0});
    }
    Prepared big;
    Prepare(&big, w);
    ONEMODEL ok;
    EXPECT_TRUE(ok.Setup(&big.animTemplate, &big.model, nullptr));
    EXPECT_EQ(ok.numVerts, 65535);
    const float position[3] = {1, 2, 3};
    EXPECT_EQ(ok.AddVertToBuffer(position, position, 0, 0, -1), ONEMODEL::kBufferFull);
    EXPECT_EQ(ok.numVerts, 65535);

    w.AddTriangle(g, 0, 0, 0, {-1, 0}, {-2, 0}, {-3, 0});
    Prepared bigger;
    Prepare(&bigger, w);
    EXPECT_FALSE(inst.Setup(&bigger.animTemplate, &bigger.model, nullptr));
    EXPECT_TRUE(unchanged());
  }
}
