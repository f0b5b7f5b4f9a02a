#pragma once
// The user's settings as one plain record, filled from the settings store
// when a view is created and read by the scene, the flock and the host.
// A saved change takes effect the next time a view is created; a running
// scene keeps the record it was built with.
#include <cstdint>

// Limits of the size and the speed, applied when the settings are read and
// again where they are used. Types are scaled by
// modelScale / (100 + 100 x (1 - size / 100)): at 200 per cent that divides
// by zero and beyond it turns the models inside out, and at 0 or below the
// flight speeds, which the size also scales, stop or reverse.
inline constexpr int64_t kMinBFlySize = 10;   // per cent
inline constexpr int64_t kMaxBFlySize = 190;  // per cent
// Faster than this, a butterfly crosses the view between two frames.
inline constexpr int64_t kMaxFlySpeed = 400;  // per cent

struct SETTINGS {
  bool WANTSHADOW = false;  // draw the butterflies' shadows
  int64_t LBFLYSIZE = 0;    // butterfly size, per cent
  int64_t LFLYSPEED = 0;    // flight speed, per cent
  // Butterfly mix: 1 = every butterfly of the selected type; any other value
  // (a negative one counts as 0) = a random type per butterfly.
  int32_t MIXBFLY = 0;
  int64_t MAX_BFLY = 0;  // number of butterflies, at most 10
  // Background source: 0 = capture of the screen, 1 = the screen's desktop
  // picture file, 2 = a random picture from BGPath.
  int32_t BGTYPE = 0;
  char BGPath[1024] = {};  // folder of background pictures for BGTYPE 2
  // Background detail: 0 = 512 x 512, 1 = 1024 x 1024, other = powers of two
  // nearest the picture's or screen's own sides (limited by the GL maximum).
  int32_t BGRES = 0;
  int32_t SelectedBFly = 0;       // index in the sheet's type list; never stored
  char BFlyPath[1024] = {};       // resource folder, searched first; never stored
  char BFlyPath2[1024] = {};      // user's butterfly data folder; never stored
  char SelectedBFlyName[1024] = {};  // file name of the selected type, e.g. "GOT-F.bfly"
};
