// What an instance draws into the real offscreen context.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "models/ONEMODEL.h"
#include "tests/models/ModelTestSupport.h"
#include "tests/support/GLTest.h"
#include "util/Texture.h"

namespace {

using ModelDraw = GLTest;
using Rgb = std::vector<int>;
const Rgb kBlack{0, 0, 0}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

// The colour at (x, y) of the -1..1 square the projection shows.
Rgb At(float x, float y) {
  const std::vector<uint8_t> px = GLTest::Context().ReadPixels();
  const size_t i = (static_cast<size_t>((y + 1) / 2 * GLTest::kHeight) * GLTest::kWidth +
                    static_cast<size_t>((x + 1) / 2 * GLTest::kWidth)) * 4;
  return {px[i], px[i + 1], px[i + 2]};
}

// Equal within the rounding of filtering between texel centres.
bool Looks(const Rgb& got, const Rgb& want) {
  for (int c = 0; c < 3; ++c)
    if (std::abs(got[c] - want[c]) > 4) return false;
  return true;
}

// A built 1 x 2 texture: bottom row (t near 0) `bottom`, top row `top`.
Texture MakeTexture(const Rgb& bottom, const Rgb& top) {
  Texture t;
  t.width = 1;
  t.height = 2;
  t.type = GL_RGB;
  t.imageData = std::make_unique<uint8_t[]>(6);
  for (int c = 0; c < 6; ++c) t.imageData[c] = static_cast<uint8_t>(c < 3 ? bottom[c] : top[c - 3]);
  EXPECT_TRUE(BuildTexture(&t, 0));
  return t;
}

}  // namespace

TEST_F(ModelDraw, InstanceDrawsEachGroupWithItsMaterialsTexture) {
  glMatrixMode(GL_PROJECTION);
  glOrtho(-1, 1, -1, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  // A tall quad on the left (material 0) and a low one on the right (no
  // material); every corner's file t is 0.25, drawn as 0.75: the top row.
  MS3DWriter w = QuadModel(-0.8f, -0.8f, -0.2f, 0.8f);
  w.AddMaterial("wing");
  w.groups[0].material = 0;
  const int right = w.AddGroup("right");
  const uint16_t a = w.AddVertex({0.2f, -0.8f, 0}), b = w.AddVertex({0.8f, -0.8f, 0});
  const uint16_t c = w.AddVertex({0.8f, -0.2f, 0}), d = w.AddVertex({0.2f, -0.2f, 0});
  w.AddTriangle(right, a, b, c);
  w.AddTriangle(right, a, c, d);
  for (MS3DWriter::Triangle& t : w.triangles)
    for (point2d& uv : t.uv) uv.y = 0.25f;
  Prepared p(w);
  Texture wing = MakeTexture(kRed, kGreen);
  const Texture other = MakeTexture(kBlue, kBlue);
  ONEMODEL inst;
  ASSERT_TRUE(inst.Setup(&p.animTemplate, &p.model, &wing.texID));

  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, other.texID);
  inst.Draw();
  EXPECT_PRED2(Looks, At(-0.5f, 0), kGreen);
  EXPECT_PRED2(Looks, At(0.5f, -0.5f), kGreen) << "no material: keeps what the group before bound";
  EXPECT_PRED2(Looks, At(0.5f, 0.5f), kBlack);

  // A negative mode draws with generated coordinates (eye-linear by default:
  // t follows the eye's y), only for its own group.
  glClear(GL_COLOR_BUFFER_BIT);
  inst.materials[0].mode = -128;
  inst.Draw();
  EXPECT_PRED2(Looks, At(-0.5f, 0.75f), kGreen);
  EXPECT_PRED2(Looks, At(-0.5f, -0.75f), kRed);
  EXPECT_PRED2(Looks, At(0.5f, -0.5f), kGreen);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
  glDisable(GL_TEXTURE_2D);
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
}
