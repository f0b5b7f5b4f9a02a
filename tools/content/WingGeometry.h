#pragma once
// Flat outlines in the plane of a wing and what the generator needs of them:
// smooth sampling of a closed curve through control points, scalloped
// margins, triangulation, inside tests and distances.
//
// Wing-plane coordinates: u runs outward from the hinge, v forward (towards
// the head); one unit is half the wingspan.
#include <array>
#include <vector>

struct Vec2 {
  float u = 0.0f;
  float v = 0.0f;
};

using Outline = std::vector<Vec2>;

// A closed centripetal Catmull-Rom curve through the control points,
// `perSegment` samples between consecutive points.
Outline SampleClosedCurve(const Outline& control, int perSegment);

// Moves the samples from index `first` to `last` (inclusive, wrapping) inward
// by depth * (1 - |cos|), giving `notches` evenly spaced sharp notches with
// rounded lobes between them: a scalloped edge. The two ends stay put.
void Scallop(Outline* outline, int first, int last, int notches, float depth);

// Index of the sample nearest to `p`.
int NearestSample(const Outline& outline, Vec2 p);

// Twice the signed area: positive for counter-clockwise (u right, v up).
float SignedArea2(const Outline& outline);
// Makes the outline counter-clockwise.
void MakeCounterClockwise(Outline* outline);

// Ear-clipping triangulation of a simple polygon; corners are indices into
// the outline, each triangle turning the way the outline turns.
std::vector<std::array<int, 3>> Triangulate(const Outline& outline);

bool Inside(const Outline& outline, Vec2 p);
// Distance from p to the nearest edge of the outline.
float EdgeDistance(const Outline& outline, Vec2 p);
