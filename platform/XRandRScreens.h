#pragma once
// The display's screens from XRandR's monitor list (RandR 1.5).
//
// Active monitors in the server's order; the screen number is the index in
// that list. A server without RandR 1.5, or one that lists no monitor, gives
// one screen covering the whole root window, marked primary. The display must
// outlive the source. Main thread only.
#include <X11/Xlib.h>

#include "platform/ScreenSource.h"

class XRandRScreens final : public ScreenSource {
 public:
  explicit XRandRScreens(Display* display) : display_(display) {}
  ScreenList Screens() override;

 private:
  Display* display_;
};
