#pragma once
// The main display's picture from the X server.
//
// Under XScreenSaver the daemon blanks the screen before the saver starts and
// leaves the picture it took beforehand as a pixmap in the
// "_SCREENSAVER_SCREENSHOT" property of the window it hands the saver; that
// pixmap is read when the property is there. Otherwise the root window is
// read, which shows the desktop only while no window of ours covers it: grab
// before mapping the saver's windows. Either way the picture is cut to one
// monitor: Grab takes the main one (XRandR's primary, else the first),
// GrabArea the one a view lies on, so that every monitor's view shows that
// monitor's desktop. Main thread only.
#include <X11/Xlib.h>

#include "platform/DesktopSource.h"
#include "platform/ScreenInfo.h"

class X11DesktopSource final : public DesktopSource {
 public:
  // `saverWindow`: the window whose screenshot property to look for; 0 for
  // none. The display must outlive the source.
  X11DesktopSource(Display* display, Window saverWindow);

  bool Grab(RgbaImage* out) override;
  bool GrabArea(const ViewRect& area, RgbaImage* out) override;

  // The pixmap named by `window`'s "_SCREENSAVER_SCREENSHOT" property; 0 when
  // there is none.
  static Pixmap ScreenshotPixmap(Display* display, Window window);

 private:
  // `monitor` null: the whole drawable.
  bool GrabMonitor(const ScreenInfo* monitor, RgbaImage* out);

  Display* display_;
  Window saverWindow_;
};
