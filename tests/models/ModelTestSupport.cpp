#include "tests/models/ModelTestSupport.h"

#include <gtest/gtest.h>

#include "util/MemoryStream.h"

bool LoadBytes(MS3D* model, const std::string& bytes) {
  MemoryStream in(bytes.data(), bytes.size());
  return model->LoadFromFStream(&in);
}

std::string LastReport() {
  return ReportRecorder::Reports().empty() ? "" : ReportRecorder::Reports().back();
}

Prepared::Prepared(const MS3DWriter& writer) {
  EXPECT_TRUE(LoadBytes(&model, writer.Bytes()));
  model.InitialSetup();
  EXPECT_TRUE(animTemplate.Setup(&model));
}

MS3DWriter ArmModel() {
  const float quarter = static_cast<float>(kPi / 2);
  MS3DWriter w;
  w.fps = 30;
  w.totalFrames = 30;
  w.AddMaterial("skin");
  const int arm = w.AddGroup("arm", 0);
  const int loose = w.AddGroup("loose");
  const uint16_t a = w.AddVertex({1, 0, 0}, 0);
  const uint16_t b = w.AddVertex({1, 1, 0}, 0);
  const uint16_t c = w.AddVertex({0, 2, 0}, 1);
  const uint16_t d = w.AddVertex({2, 2, 1}, 1);
  w.AddTriangle(arm, a, b, c, {0, 0}, {1, 0}, {1, 1});
  w.AddTriangle(arm, b, d, c, {0, 0.25f}, {1, 0.5f}, {0, 1});
  const uint16_t e = w.AddVertex({5, 5, 5});
  const uint16_t f = w.AddVertex({6, 5, 5});
  const uint16_t g = w.AddVertex({5, 6, 5});
  w.AddTriangle(loose, e, f, g);
  w.AddJoint("shoulder", "", {0, 0, quarter}, {1, 0, 0});
  w.joints[0].rotationKeys = {{0.0f, {0, 0, 0}}, {1.0f, {0, 0, quarter}}};
  w.joints[0].translationKeys = {{0.0f, {0, 0, 0}}, {1.0f, {0, 2, 0}}};
  w.AddJoint("elbow", "shoulder", {0, 0, 0}, {2, 0, 0});
  w.joints[1].rotationKeys = {{0.5f, {0, 0, 0}}, {1.0f, {quarter, 0, 0}}};
  return w;
}

MS3DWriter QuadModel(float x0, float y0, float x1, float y1) {
  MS3DWriter w;
  const int g = w.AddGroup("quad");
  const uint16_t a = w.AddVertex({x0, y0, 0});
  const uint16_t b = w.AddVertex({x1, y0, 0});
  const uint16_t c = w.AddVertex({x1, y1, 0});
  const uint16_t d = w.AddVertex({x0, y1, 0});
  w.AddTriangle(g, a, b, c, {0, 1}, {1, 1}, {1, 0});
  w.AddTriangle(g, a, c, d, {0, 1}, {1, 0}, {0, 0});
  return w;
}
