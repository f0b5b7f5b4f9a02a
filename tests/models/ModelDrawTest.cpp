// Drawing models and instances into the real offscreen context.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "models/ANIMATIONTEMPLATE.h"
#include "models/MS3D.h"
#include "models/ONEMODEL.h"
#include "tests/models/ModelTestSupport.h"
#include "tests/support/GLTest.h"
#include "util/Texture.h"

namespace {

using ModelDraw = GLTest;

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};

void PrintTo(const Rgb& c, std::ostream* os) {
  *os << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

// The colour at (x, y) of the unit square the orthographic projection shows.
Rgb At(float x, float y) {
  const std::vector<uint8_t> px = GLTest::Context().ReadPixels();
  const int ix = static_cast<int>(x * GLTest::kWidth);
  const int iy = static_cast<int>(y * GLTest::kHeight);
  const size_t i = (static_cast<size_t>(iy) * GLTest::kWidth + ix) * 4;
  return {px[i], px[i + 1], px[i + 2]};
}

// Equal within the rounding of filtering between texel centres.
::testing::AssertionResult Looks(Rgb got, Rgb want) {
  auto close = [](int a, int b) { return a - b <= 4 && b - a <= 4; };
  if (close(got.r, want.r) && close(got.g, want.g) && close(got.b, want.b))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got (" << int(got.r) << ", " << int(got.g) << ", "
                                       << int(got.b) << ")";
}

void Clear() { glClear(GL_COLOR_BUFFER_BIT); }

void UnitSquareView() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 1, 0, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
}

// A built 1 x 2 texture: bottom row (t near 0) `bottom`, top row `top`.
Texture MakeTexture(Rgb bottom, Rgb top) {
  Texture t;
  t.width = 1;
  t.height = 2;
  t.bpp = 24;
  t.type = GL_RGB;
  t.imageData = std::make_unique<uint8_t[]>(6);
  const uint8_t bytes[6] = {bottom.r, bottom.g, bottom.b, top.r, top.g, top.b};
  std::copy(bytes, bytes + 6, t.imageData.get());
  EXPECT_TRUE(BuildTexture(&t, 0));
  return t;
}

// Two groups: a tall quad on the left (material 0) and a low quad on the
// right (no material); every corner's file t is 0.25.
MS3DWriter TwoQuads() {
  MS3DWriter w = QuadModel(0.1f, 0.1f, 0.4f, 0.9f);
  w.AddMaterial("wing");
  w.groups[0].material = 0;
  const int right = w.AddGroup("right");
  const uint16_t a = w.AddVertex({0.6f, 0.1f, 0});
  const uint16_t b = w.AddVertex({0.9f, 0.1f, 0});
  const uint16_t c = w.AddVertex({0.9f, 0.4f, 0});
  const uint16_t d = w.AddVertex({0.6f, 0.4f, 0});
  w.AddTriangle(right, a, b, c);
  w.AddTriangle(right, a, c, d);
  for (MS3DWriter::Triangle& t : w.triangles)
    for (point2d& uv : t.uv) uv.y = 0.25f;
  return w;
}

}  // namespace

TEST_F(ModelDraw, ModelDrawsItsGroupsWithTheStoredCoordinates) {
  UnitSquareView();
  MS3D m;
  ASSERT_TRUE(LoadBytes(&m, TwoQuads().Bytes()));
  m.Render();
  EXPECT_EQ(At(0.25f, 0.8f), kWhite);
  EXPECT_EQ(At(0.75f, 0.25f), kWhite);
  EXPECT_EQ(At(0.75f, 0.75f), kBlack);

  Clear();
  m.DrawGroup(1);
  EXPECT_EQ(At(0.25f, 0.8f), kBlack);
  EXPECT_EQ(At(0.75f, 0.25f), kWhite);

  Clear();
  m.DrawGroup(-1);
  m.DrawGroup(2);
  m.DrawGroup(2, {});
  MS3D empty;
  ASSERT_TRUE(LoadBytes(&empty, MS3DWriter().Bytes()));
  empty.Render();
  EXPECT_EQ(At(0.25f, 0.8f), kBlack);
  EXPECT_EQ(At(0.75f, 0.25f), kBlack);
}

TEST_F(ModelDraw, ModelBindsMaterialTexturesWithFlippedT) {
  UnitSquareView();
  MS3D m;
  ASSERT_TRUE(LoadBytes(&m, TwoQuads().Bytes()));
  std::vector<Texture> textures;
  textures.push_back(MakeTexture(kRed, kGreen));
  const Texture other = MakeTexture(kBlue, kBlue);
  glEnable(GL_TEXTURE_2D);

  // File t 0.25 is drawn at 0.75: the top row. The right group has no
  // material and keeps the texture bound before.
  glBindTexture(GL_TEXTURE_2D, other.texID);
  m.Render(textures);
  EXPECT_EQ(At(0.25f, 0.5f), kGreen);
  EXPECT_EQ(At(0.75f, 0.25f), kGreen) << "bound by the group before it";

  Clear();
  glBindTexture(GL_TEXTURE_2D, other.texID);
  m.DrawGroup(1, textures);
  EXPECT_EQ(At(0.75f, 0.25f), kBlue);

  // A material beyond the list binds nothing either.
  Clear();
  glBindTexture(GL_TEXTURE_2D, other.texID);
  m.DrawGroup(0, std::span<const Texture>(textures.data(), 0));
  EXPECT_EQ(At(0.25f, 0.5f), kBlue);
  glDisable(GL_TEXTURE_2D);
}

TEST_F(ModelDraw, InstanceDrawsItsBufferAtItsPlacement) {
  glMatrixMode(GL_PROJECTION);
  glOrtho(-1, 1, -1, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  MS3D m;
  ASSERT_TRUE(LoadBytes(&m, QuadModel(-0.4f, -0.1f, 0.4f, 0.1f).Bytes()));
  ANIMATIONTEMPLATE t;
  ASSERT_TRUE(t.Setup(&m));
  ONEMODEL inst;
  ASSERT_TRUE(inst.Setup(&t, &m, nullptr));
  // Unit-square coordinates of a point in the -1..1 view.
  auto at = [](float x, float y) { return At((x + 1) / 2, (y + 1) / 2); };

  inst.Draw();
  EXPECT_EQ(at(0.3f, 0), kWhite);
  EXPECT_EQ(at(0, 0.3f), kBlack);

  Clear();
  inst.orientation = QuatToRotationMatrix(RotationToQuat({0, 0, 90}));
  inst.position = {0.5f, 0, 0};
  inst.Draw();
  EXPECT_EQ(at(0.5f, 0.3f), kWhite);
  EXPECT_EQ(at(0.8f, 0), kBlack);
  EXPECT_EQ(at(0, 0.3f), kBlack);
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));

  // The arrays are the buffer as it stands (skinned by the owner).
  Clear();
  for (MODELVERTEX& v : inst.vertexBuffer) v.position.x -= 1.0f;
  inst.Draw();
  EXPECT_EQ(at(0.5f, 0.3f), kBlack);
  EXPECT_EQ(at(0.5f, -0.8f), kWhite);

  Clear();
  inst.DrawGroup(-1);
  inst.DrawGroup(1);
  EXPECT_EQ(at(0.5f, -0.8f), kBlack);
}

TEST_F(ModelDraw, InstanceMaterialsBindTexturesAndGenerateCoordinates) {
  UnitSquareView();
  MS3DWriter w = TwoQuads();
  MS3D m;
  ASSERT_TRUE(LoadBytes(&m, w.Bytes()));
  ANIMATIONTEMPLATE t;
  ASSERT_TRUE(t.Setup(&m));
  const Texture wing = MakeTexture(kRed, kGreen);
  const Texture other = MakeTexture(kBlue, kBlue);
  ONEMODEL inst;
  ASSERT_TRUE(inst.Setup(&t, &m, &wing.texID));
  glEnable(GL_TEXTURE_2D);

  glBindTexture(GL_TEXTURE_2D, other.texID);
  inst.Draw();
  EXPECT_EQ(At(0.25f, 0.5f), kGreen) << "t flipped when the buffer was built";
  EXPECT_EQ(At(0.75f, 0.25f), kGreen) << "no material: keeps what the group before bound";

  // A negative mode draws with generated coordinates (eye-linear by default:
  // t follows the eye's y), only for its own group.
  Clear();
  inst.materials[0].mode = -128;
  glBindTexture(GL_TEXTURE_2D, other.texID);
  inst.Draw();
  EXPECT_TRUE(Looks(At(0.25f, 0.75f), kGreen));
  EXPECT_TRUE(Looks(At(0.25f, 0.25f), kRed));
  EXPECT_EQ(At(0.75f, 0.25f), kGreen) << "the right group without generated coordinates";
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
  glDisable(GL_TEXTURE_2D);
}

TEST_F(ModelDraw, InstancesOnlyReferToTheirTypesTextures) {
  MS3D m;
  ASSERT_TRUE(LoadBytes(&m, TwoQuads().Bytes()));
  ANIMATIONTEMPLATE t;
  ASSERT_TRUE(t.Setup(&m));
  Texture wing = MakeTexture(kRed, kGreen);
  ASSERT_TRUE(glIsTexture(wing.texID));
  ONEMODEL survivor;
  {
    ONEMODEL first;
    ASSERT_TRUE(first.Setup(&t, &m, &wing.texID));
    survivor = first;
    ONEMODEL moved = std::move(first);
  }
  EXPECT_EQ(survivor.materials[0].texId, wing.texID);
  EXPECT_TRUE(glIsTexture(wing.texID)) << "destroying an instance keeps the type's texture";
  const uint32_t name = wing.texID;
  wing.Release();
  EXPECT_FALSE(glIsTexture(name)) << "the Texture record owns the name";
}
