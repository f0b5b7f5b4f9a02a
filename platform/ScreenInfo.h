#pragma once
// One screen (an XRandR monitor) of the display.
#include <string>

struct ScreenInfo {
  int number = 0;        // the screen number: the monitor's index in the list
  int x = 0;             // root-window coordinates of the top-left corner, pixels
  int y = 0;
  int width = 0;         // pixels
  int height = 0;        // pixels
  bool primary = false;  // the primary output
  std::string name;      // the monitor's name, e.g. "HDMI-1"; may be empty
};
