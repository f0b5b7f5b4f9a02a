#pragma once
// The flock's soak run, shared by the test flock's and the shipped types'
// soak programs: HOURS of simulated flight at a fixed 1/60 s, as fast as it
// goes, with the flight invariants checked every frame, a frame drawn with
// shadows every simulated second and the aquarium torn down and set up again
// every `rebuildEvery` frames, as the scene does.
//
// It fails when an invariant breaks, when the live GL textures do not return
// to their count before the first build after a teardown (or differ from
// what the loaded types hold), when the program's own live allocations after
// a teardown differ from those after the first, or, where asked, when
// resident memory still rises over the second half.
// Resident memory alone cannot tell a leak from Mesa freeing texture storage
// lazily, and a build that loads a random subset of several types moves it
// with the subset; every allocation our code makes goes through operator
// new, which this run counts.
#include "util/SETTINGS.h"

struct SoakOptions {
  const char* name = "flock_soak";  // the program, at the start of every printed line
  double hours = 1.0;               // simulated
  long rebuildEvery = 5 * 60 * 60;  // frames
  bool alternateViews = false;      // a 16:9 and a 4:3 view in turn, one per build
  // Resident peaks must not rise: only where builds take alike memory. A
  // random mix of the large shipped types takes what the subset loaded takes.
  bool checkResidentPeaks = true;
};

// Needs a current OpenGL context with PrepareFlockGL done, and the seed given
// to std::srand. Prints what it measured; returns the exit status.
int RunFlockSoak(const SETTINGS& settings, const SoakOptions& options);
