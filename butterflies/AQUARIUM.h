#pragma once
// The flock: the butterflies of one scene and the catalogue of installed
// butterfly types they are made from.
//
// The scene creates one aquarium, runs Setup with the settings once per scene
// set-up, Move and Draw every frame, and Cleanup and CleanupBFlyList when the
// scene is torn down. The aquarium chooses how many butterflies there are,
// which type each one gets, and when and from where each one is launched;
// after its launch a butterfly follows its own flight model.
//
// World space as the camera at (0, 0, 60) looks at it: launch points in x
// from -60 to 59.9, y and z from -30 to 29.9, always outside the view; the
// first targets within -20 to 19.9 on every axis. Main thread only, with the
// scene's OpenGL context current for Setup (textures are built), Draw and the
// clean-ups; Move never calls OpenGL.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "butterflies/ONEBFLY.h"
#include "datafiles/BFLYINFO.h"
#include "util/SETTINGS.h"

// The number of files in both folders whose names are longer than `suffix`,
// end in it (exactly, case-sensitive) and open as valid lump files. A folder
// that cannot be listed contributes 0. Paths are folder and name joined
// without a separator.
int CountFiles(const char* folder1, const char* folder2, const char* suffix);

// Depth order of two butterflies for Sort: 1 when the first one's z is
// greater, -1 when it is smaller, 0 otherwise.
int compare_depth(const void* a, const void* b);

class AQUARIUM {
 public:
  static constexpr size_t kPathBytes = 1024;
  // Tries at drawing a launch point outside the view before a butterfly is
  // left waiting for a later frame.
  static constexpr int kLaunchTries = 100;

  std::unique_ptr<ONEBFLY[]> bflys;     // numBFlys butterflies, or none
  int64_t numBFlys = 3;                 // butterflies; never negative after Setup
  // The catalogue.
  std::unique_ptr<BFLYINFO[]> bflyList; // numBFlyTypes entries, or none
  int32_t numBFlyTypes = 0;
  int32_t selectedType = 0;             // index into bflyList
  char bflyPath[kPathBytes] = "/usr/share/wingdrift/butterflies/";  // types that come with the saver
  char bflyPath2[kPathBytes] = {};      // the user's butterfly folder; downloads go here
  char selectedBFlyName[kPathBytes] = "Gold.bfly";  // file name of the chosen type
  // 1: every butterfly of the selected type; any other value: a random type
  // per butterfly.
  int32_t mixMode = 0;
  float sizeFactor = 1.0f;              // butterfly size, 1 = as authored

  AQUARIUM() = default;
  ~AQUARIUM();
  AQUARIUM(const AQUARIUM&) = delete;
  AQUARIUM& operator=(const AQUARIUM&) = delete;

  // Builds the catalogue from the settings' folders and creates the flock:
  // MAX_BFLY butterflies (a negative count counts as 0), each of the selected
  // type or of a random one, every type loaded on first use, every butterfly
  // waiting unlaunched at the origin. False when the catalogue cannot be
  // built, the butterflies cannot be allocated ("Unable to allocate
  // memory!"), or a type cannot be loaded or a body built. Run the clean-ups
  // before a second Setup.
  bool Setup(const SETTINGS* settings);
  // One frame: every launched butterfly moves; every waiting one is launched
  // with a chance of one in 20, from a point outside the view. A step of no
  // time (the view's first frame) is no frame: nothing moves or launches,
  // and rand() is not drawn.
  void Move(float speedFactor, float dt);
  // Draws every launched butterfly, as a shadow when `shadow` is set.
  void Draw(bool shadow);
  // Orders the butterflies by z, ascending. The frame loop does not use it.
  void Sort();
  // Destroys the butterflies, last first; safe to repeat.
  void Cleanup();

  // The catalogue. BuildBFlyList lists both folders (first the first, each in
  // the order the file system lists it); false with "No BFly Data Found!",
  // "Error Allocating Memory!" or "Error Loading BFly!", or without a message
  // when no counted file is left by the time the list is filled.
  bool BuildBFlyList();
  // Selects the entry whose file name is selectedBFlyName, else entry 0 and
  // takes its file name; raises a negative *mixMode to 0.
  void FindSelectedBFly(int32_t* mixMode);
  // Whether a valid ".bfly" file in bflyPath2 has the display name `name`.
  bool BFlyFileExists(const char* name);
  // Destroys the entries and their loaded types, last first; safe to repeat.
  void CleanupBFlyList();
  // Does nothing; true.
  bool LoadBFlyData();

 private:
  void Launch(ONEBFLY* bfly);
};
