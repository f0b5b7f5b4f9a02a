#pragma once
// One butterfly: a model instance with its own body (joints, materials,
// groups, index and vertex buffers copied from its type's prototype) and a
// small flight model that drives the instance's placement and the two wing
// joints.
//
// A butterfly waits (action 0, not drawn) until the aquarium launches it,
// then flies (1) towards random targets, flapping its wings in strokes that
// give lift while it sinks between strokes, keeps inside the view once it has
// entered it, lands (2) now and then on the back (z = -40) or front (z = 32)
// depth limit, rests there and takes off again. It never waits again.
//
// Units: world units, seconds, degrees, degrees per second. The butterfly's
// forward axis is +z of its own frame. Flight reads the module's `frustum`
// and draws from the C library's rand() in a fixed order; it never calls
// OpenGL and allocates nothing. Only Draw and DrawGroup issue GL calls.
//
// Quantities that follow a goal do so by value += (goal - value) * f with
// f = rate * dt limited to 1: a long frame (a slow renderer, a hiccup) ends
// at the goal instead of overshooting it; at 60 frames per second nothing
// changes.
#include <cstdint>
#include <vector>

#include "models/ONEMODEL.h"
#include "util/Math.h"

class BFLYDATA;

class ONEBFLY : public ONEMODEL {
 public:
  // Actions.
  static constexpr int32_t kWaiting = 0;
  static constexpr int32_t kFlying = 1;
  static constexpr int32_t kLanded = 2;
  // Depth limits, world z.
  static constexpr float kBackLimit = -40.0f;
  static constexpr float kFrontLimit = 32.0f;
  // Wing opening of a stroke's top, degrees; wings move between 0 and this.
  static constexpr float kStrokeTop = 140.0f;

  VECTOR3D target;              // point steered towards
  int32_t action = kWaiting;
  VECTOR3D turnRate;            // current rates of change of `angles`, deg/s
  VECTOR3D desiredTurnRate;     // rates `turnRate` approaches; z stays 0
  float airSpeed = 2.0f;        // forward speed, units/s
  float targetAirSpeed = 2.0f;  // speed `airSpeed` approaches
  float throttle = 1.0f;        // effort factor of the flight speed
  float throttleTarget = 1.0f;  // value `throttle` approaches
  float targetTimer = 0.0f;     // s; flying: until a new target, landed: until take-off
  BFLYDATA* bflyData = nullptr; // the butterfly's type, not owned
  float wingTimer = 0.0f;       // s left in the current wing phase
  VECTOR3D wingAngles;          // Euler degrees of the wing joints
  VECTOR3D wingTarget;          // angles `wingAngles` approaches; only z is set
  MATRIX wingMatrix;            // MatrixFromAngle(wingAngles)
  float wingSpeed = 10.0f;      // rate of the wings in flight, 1/s
  float lift = -100.0f;         // vertical speed term; -75 to 100 once a stroke has run
  float landTimer = 5.0f;       // s before the butterfly may land again
  float landBlend = 1.0f;       // 0 to 1: turn into the landing pose; 1 when none is running
  QUAT landFrom;                // orientation when landing
  QUAT landTo;                  // landing pose
  QUAT landQuat;                // current blend of the two
  bool entered = false;         // has been inside the view at least once
  // R, G, B, A per vertex: the colour of the texel under it in the texture
  // its group's material drew (white for a vertex of no textured group).
  std::vector<uint8_t> lineColours;
  // The triangles of the body (every vertex off the wing joints) of the
  // textured groups, drawn as one-pixel lines in `lineColours` so that thin
  // parts never break up into dots; empty for a type whose wings have no
  // joints of their own.
  std::vector<uint16_t> lineIndices;

  // Switches the action. Landed: rest 1.0 to 10.9 s, wings towards a random
  // opening of 0 to 89 degrees (two rand() draws). Flying: a new target
  // timer, an effort goal of 0.5 to 2.49 (one draw), throttle 1, no speed.
  void SetAction(int action);
  // Back to waiting at the origin with entered false and air speed 6.
  void Reset();
  // One frame of flight and of the skeleton. `flock` and `count` are
  // ignored: butterflies do not see one another. Called for launched
  // butterflies only.
  void Move(ONEBFLY* flock, long count, float speedFactor, float dt);
  // One frame of steering towards `target` with turn rates up to
  // maxTurnRate.
  void TurnToTarget(float maxTurnRate, float dt);
  // The vector from `point` to `position` in the butterfly's own frame,
  // scaled to length 100; the zero vector stays zero.
  VECTOR3D RelativeDest(VECTOR3D point) const;
  // Always false: butterflies do not collide.
  bool CheckCollision(ONEBFLY* flock, long count, float dt) const;

  // Builds this butterfly's body from a loaded type: own joints, own copies
  // of the prototype's materials, groups, indices and vertices (in joint
  // space, skinned by the first Move), and for each material a wing texture
  // chosen with rand() among the type's textures. False, leaving the body
  // incomplete (not drawn), for a type without template or prototype.
  bool SetupFromBFlyData(BFLYDATA* data);
  // Draws at `position` and `orientation` with vertex arrays. The normal
  // pass first draws `lineIndices` as one-pixel lines in `lineColours`,
  // untextured and without writing depth, then the textured triangles over
  // them: antennae and legs narrower than a pixel stay whole, and wider
  // parts gain at most half a pixel at their outline. The shadow pass draws a black
  // silhouette of opacity (z + 40) / -40 + 0.5 (0 at z = -20, 0.5 at the
  // back limit) and nothing where that is 0 or less; it binds no texture.
  // Needs the OpenGL context current.
  void Draw(bool shadow);
  // One group of the mesh; nothing for an index outside the groups.
  void DrawGroup(int group, bool shadow);

 private:
  float SizeScale() const;
  float Radius() const;
  void FlyingStep(float speedFactor, float dt);
  void LandedStep(float dt);
  void TryToLand(float yaw);
  void ChooseTarget();
  void MoveSkeleton(float dt);
  void FlyingWings(float dt);
  void LandedWings(float dt);
  void SetWingJoints();
};
