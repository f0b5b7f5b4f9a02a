// Writes the seed corpus of fuzz_ms3d into the folder named by its argument:
// small models of both versions with skeletons, key tracks, materials and
// groups, a rigid one, and a few with the edges the loader must handle.
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tools/MS3DWriter.h"

namespace {

// A butterfly-like body: a thorax and two wings, each wing a joint under the
// body with flapping rotation keys; one textured material, one group per part.
MS3DWriter Butterfly() {
  MS3DWriter w;
  w.fps = 24;
  w.totalFrames = 24;
  const int wing = w.AddMaterial("wing");
  w.materials[wing].texture = "wing.tga";
  const int body = w.AddGroup("body");
  const int left = w.AddGroup("wingl", static_cast<int8_t>(wing));
  const int right = w.AddGroup("wingr", static_cast<int8_t>(wing));
  w.AddJoint("body", "", {0, 0, 0}, {0, 0, 0});
  w.AddJoint("wingl", "body", {0, 0, 0.1f}, {-0.2f, 0, 0});
  w.AddJoint("wingr", "body", {0, 0, -0.1f}, {0.2f, 0, 0});
  w.joints[0].translationKeys = {{0, {0, 0, 0}}, {0.5f, {0, 0.3f, 0}}, {1, {0, 0, 0}}};
  for (int j = 1; j <= 2; ++j) {
    const float sign = j == 1 ? 1.0f : -1.0f;
    w.joints[j].rotationKeys = {
        {0, {0, 0, 0}}, {0.25f, {0, 0, sign * 1.2f}}, {0.5f, {0, 0, 0}}, {1, {0, 0, sign * 0.4f}}};
  }
  const uint16_t a = w.AddVertex({0, 0.5f, 0}, 0);
  const uint16_t b = w.AddVertex({-0.2f, -0.5f, 0}, 0);
  const uint16_t c = w.AddVertex({0.2f, -0.5f, 0}, 0);
  w.AddTriangle(body, a, b, c);
  const uint16_t l0 = w.AddVertex({-0.2f, 0.4f, 0}, 1);
  const uint16_t l1 = w.AddVertex({-2.0f, 1.0f, 0}, 1);
  const uint16_t l2 = w.AddVertex({-1.5f, -1.0f, 0}, 1);
  w.AddTriangle(left, l0, l1, l2, {1, 0}, {0, 0}, {0, 1});
  const uint16_t r0 = w.AddVertex({0.2f, 0.4f, 0}, 2);
  const uint16_t r1 = w.AddVertex({2.0f, 1.0f, 0}, 2);
  const uint16_t r2 = w.AddVertex({1.5f, -1.0f, 0}, 2);
  w.AddTriangle(right, r0, r2, r1, {0, 0}, {1, 1}, {1, 0});
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  std::vector<std::pair<std::string, MS3DWriter>> models;
  models.emplace_back("butterfly-v4", Butterfly());
  MS3DWriter v3 = Butterfly();
  v3.version = 3;
  v3.trailer = std::string(16, '\x01');
  models.emplace_back("butterfly-v3-trailer", v3);

  MS3DWriter generated = Butterfly();
  generated.materials[0].mode = -128;
  generated.AddMaterial("unused");
  generated.AddGroup("empty");
  models.emplace_back("generated-coordinates", generated);

  MS3DWriter equalKeys = Butterfly();
  equalKeys.joints[1].rotationKeys[2].time = 0.25f;
  equalKeys.joints[0].translationKeys[1].time = 0.0f;
  models.emplace_back("equal-key-times", equalKeys);

  MS3DWriter noRate = Butterfly();
  noRate.fps = 0;
  models.emplace_back("zero-fps", noRate);

  MS3DWriter rigid;
  const int g = rigid.AddGroup("quad");
  rigid.AddVertex({0, 0, 0});
  rigid.AddVertex({1, 0, 0});
  rigid.AddVertex({1, 1, 0});
  rigid.AddVertex({0, 1, 0});
  rigid.AddTriangle(g, 0, 1, 2);
  rigid.AddTriangle(g, 0, 2, 3);
  models.emplace_back("rigid", rigid);
  models.emplace_back("empty", MS3DWriter());

  MS3DWriter chain = Butterfly();
  chain.AddJoint("tip", "wingl", {0.3f, 0.2f, 0.1f}, {-1, 0, 0});
  chain.joints.back().translationKeys = {{0.1f, {0, 0, 1}}};
  chain.vertices[4].boneId = 3;
  models.emplace_back("joint-chain", chain);

  bool ok = true;
  for (const auto& [name, writer] : models) ok &= writer.WriteFile(folder + name);
  return ok ? 0 : 1;
}
