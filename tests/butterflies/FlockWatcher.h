#pragma once
// Watches a flock frame by frame and checks what must hold however long it
// flies (the exact single-frame rules are the flight tests'):
//  - no NaN or infinity in the flight values, the joints or the skinned
//    vertices;
//  - once a butterfly has entered, its sphere of twice its radius reaches
//    into the view, except that the clamp to a depth limit (made after the
//    view test of the move) may leave it beyond the planes by up to the
//    frame's depth step; a launched butterfly's z stays within -40 and 32;
//  - launches start outside the view; a butterfly lands only on a depth
//    limit and does not move while landed;
//  - wing angles stay within 0 and 140 degrees about z, lift within 100,
//    turn rates within 30 degrees per second, pitch within 45 degrees in
//    flight (from the frame after take-off).
// Call Check after every AQUARIUM::Move with the frame's dt.
#include <cstdint>
#include <string>
#include <vector>

#include "butterflies/AQUARIUM.h"

struct FlockCounts {
  long frames = 0;
  long launches = 0;
  long landings = 0;
  long takeOffs = 0;
  long strokes = 0;  // wing strokes started in flight
};

class FlockWatcher {
 public:
  // False with the first broken rule in `why`.
  bool Check(const AQUARIUM& aquarium, float dt, std::string* why);
  // Forget the butterflies (after the aquarium was rebuilt); the counts go
  // on.
  void Restart() { tracks_.clear(); }

  FlockCounts counts;

 private:
  struct Track {
    int32_t action = 0;
    bool wingTop = false;  // wings rising to the top of a stroke
    VECTOR3D landedAt;
  };
  std::vector<Track> tracks_;
};

// One butterfly against the rules that need no history (finite values and
// ranges); used by the watcher and by tests of single frames. `depthStep`
// bounds how far a frame's move goes (world units).
bool CheckButterflyState(const ONEBFLY& bfly, std::string* why, float depthStep);

// The farthest a butterfly of these tests flies in a frame of dt seconds:
// 2.49 (effort) x 40 x speed factor (0.75) x size scale (about 1), with room.
inline float FrameStep(float dt) { return 80.0f * dt; }
