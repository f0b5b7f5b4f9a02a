#pragma once
// Models built with the MS3D writer, and small helpers shared by the model
// tests.
#include <cmath>
#include <string>

#include "models/ANIMATIONTEMPLATE.h"
#include "models/MS3D.h"
#include "tests/support/ReportRecorder.h"
#include "tools/MS3DWriter.h"
#include "util/Math.h"

// Loads `bytes` through LoadFromFStream from a memory stream.
bool LoadBytes(MS3D* model, const std::string& bytes);

// The last message ERRORCLOSE reported, "" if none.
std::string LastReport();

// A two-joint arm, 30 frames at 30 fps:
//  - joint 0 "shoulder", a root at (1, 0, 0) turned 90 degrees about z, with
//    rotation keys at 0 s (0) and 1 s (z +90 degrees) and translation keys at
//    0 s (0, 0, 0) and 1 s (0, 2, 0);
//  - joint 1 "elbow", child of the shoulder at (2, 0, 0), with rotation keys
//    only, at 0.5 s (0) and 1 s (x +90 degrees).
// Group 0 ("arm", material 0) holds two triangles over four vertices: two
// bound to the shoulder, two to the elbow. Group 1 ("loose") holds one
// triangle over three vertices bound to no joint.
MS3DWriter ArmModel();

// A quad in the z = 0 plane from (x0, y0) to (x1, y1) as one group of two
// triangles without joints; texture coordinates s = x, t = 1 - y over the
// unit square.
MS3DWriter QuadModel(float x0, float y0, float x1, float y1);

// A loaded model after InitialSetup, with its template.
struct Prepared {
  MS3D model;
  ANIMATIONTEMPLATE animTemplate;
  explicit Prepared(const MS3DWriter& writer);
};

inline bool Near(VECTOR3D a, VECTOR3D b, float tolerance = 1e-4f) {
  return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance &&
         std::fabs(a.z - b.z) <= tolerance;
}

inline VECTOR3D V(const float v[3]) { return {v[0], v[1], v[2]}; }
