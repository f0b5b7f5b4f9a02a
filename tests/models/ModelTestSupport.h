#pragma once
// Models built with the MS3D writer, and small helpers shared by the model
// tests.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "models/ANIMATIONTEMPLATE.h"
#include "models/MS3D.h"
#include "tests/support/ReportRecorder.h"
#include "tools/MS3DWriter.h"
#include "util/MemoryStream.h"

// Loads `bytes` through LoadFromFStream from a memory stream.
inline bool LoadBytes(MS3D* model, const std::string& bytes) {
  MemoryStream in(bytes.data(), bytes.size());
  return model->LoadFromFStream(&in);
}

// The last message ERRORCLOSE reported, "" if none.
inline std::string LastReport() {
  return ReportRecorder::Reports().empty() ? "" : ReportRecorder::Reports().back();
}

// A two-joint arm, 30 frames at 30 fps:
//  - joint 0 "shoulder", a root at (1, 0, 0) turned 90 degrees about z, with
//    rotation keys at 0 s (0) and 1 s (z +90 degrees) and translation keys at
//    0 s (0, 0, 0) and 1 s (0, 2, 0);
//  - joint 1 "elbow", child of the shoulder at (2, 0, 0), with rotation keys
//    only, at 0.5 s (0) and 1 s (x +90 degrees).
// Group 0 ("arm", material 0) holds two triangles over four vertices: two
// bound to the shoulder, two to the elbow. Group 1 ("loose") holds one
// triangle over three vertices bound to no joint.
inline MS3DWriter ArmModel() {
  const float quarter = static_cast<float>(kPi / 2);
  MS3DWriter w;
  w.fps = 30;
  w.totalFrames = 30;
  w.AddMaterial("skin");
  const int arm = w.AddGroup("arm", 0);
  const int loose = w.AddGroup("loose");
  const uint16_t a = w.AddVertex({1, 0, 0}, 0), b = w.AddVertex({1, 1, 0}, 0);
  const uint16_t c = w.AddVertex({0, 2, 0}, 1), d = w.AddVertex({2, 2, 1}, 1);
  w.AddTriangle(arm, a, b, c, {0, 0}, {1, 0}, {1, 1});
  w.AddTriangle(arm, b, d, c, {0, 0.25f}, {1, 0.5f}, {0, 1});
  const uint16_t e = w.AddVertex({5, 5, 5}), f = w.AddVertex({6, 5, 5});
  w.AddTriangle(loose, e, f, w.AddVertex({5, 6, 5}));
  w.AddJoint("shoulder", "", {0, 0, quarter}, {1, 0, 0});
  w.joints[0].rotationKeys = {{0.0f, {0, 0, 0}}, {1.0f, {0, 0, quarter}}};
  w.joints[0].translationKeys = {{0.0f, {0, 0, 0}}, {1.0f, {0, 2, 0}}};
  w.AddJoint("elbow", "shoulder", {0, 0, 0}, {2, 0, 0});
  w.joints[1].rotationKeys = {{0.5f, {0, 0, 0}}, {1.0f, {quarter, 0, 0}}};
  return w;
}

// A quad in the z = 0 plane from (x0, y0) to (x1, y1) as one group of two
// triangles without joints; texture coordinates s = x, t = 1 - y over the
// unit square.
inline MS3DWriter QuadModel(float x0, float y0, float x1, float y1) {
  MS3DWriter w;
  const int g = w.AddGroup("quad");
  const uint16_t a = w.AddVertex({x0, y0, 0}), b = w.AddVertex({x1, y0, 0});
  const uint16_t c = w.AddVertex({x1, y1, 0}), d = w.AddVertex({x0, y1, 0});
  w.AddTriangle(g, a, b, c, {0, 1}, {1, 1}, {1, 0});
  w.AddTriangle(g, a, c, d, {0, 1}, {1, 0}, {0, 0});
  return w;
}

// A loaded model after InitialSetup, with its template.
struct Prepared {
  MS3D model;
  ANIMATIONTEMPLATE animTemplate;
  explicit Prepared(const MS3DWriter& writer) {
    EXPECT_TRUE(LoadBytes(&model, writer.Bytes()));
    model.InitialSetup();
    EXPECT_TRUE(animTemplate.Setup(&model));
  }
};

inline bool Near(VECTOR3D a, VECTOR3D b, float tolerance = 1e-4f) {
  return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance &&
         std::fabs(a.z - b.z) <= tolerance;
}

inline VECTOR3D V(const float v[3]) { return {v[0], v[1], v[2]}; }
