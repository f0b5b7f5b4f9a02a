#pragma once
// Renders the screen saver without a display: one view on an offscreen
// OpenGL context, driven at a fixed step of 1/60 s of scene time, its frames
// handed to a FrameSink. There is no desktop to capture, so the view falls
// back to the desktop picture file and then to the shipped picture.
#include <optional>
#include <string>

#include "host/SettingsOverrides.h"

struct RecordOptions {
  std::string path;              // where the frames go (see FrameSink)
  int width = 1280;              // pixels
  int height = 720;              // pixels
  double seconds = 5.0;          // scene time to record
  double start = 0.0;            // scene time flown, unrecorded, before the first frame
  std::optional<unsigned> seed;  // replaces the time of day as the random seed
  SettingsOverrides settings;    // replace the stored settings for this run
};

// Records and returns the program's exit status: 0 when every frame reached
// its output, 1 otherwise, with one line on standard error saying why. On
// success prints where the output is and how many butterflies flew, unless
// `quiet`.
int Record(const RecordOptions& options, bool quiet);
