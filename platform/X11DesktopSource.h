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
// monitor's desktop. The pixels come through shared memory (MIT-SHM) when
// the server offers it for this connection, else over the connection.
// Main thread only.
#include <X11/Xlib.h>

#include <memory>

#include "platform/DesktopSource.h"
#include "platform/ScreenInfo.h"

class X11DesktopSource final : public DesktopSource {
 public:
  // `saverWindow`: the window whose screenshot property to look for; 0 for
  // none. The display must outlive the source.
  X11DesktopSource(Display* display, Window saverWindow);

  bool Grab(RgbaImage* out) override;
  bool GrabArea(const ViewRect& area, RgbaImage* out) override;
  // The X server's own pixels when they are 32-bit words with 8-bit
  // channels (the usual TrueColor layouts), else converted to RGBA.
  bool GrabPixels(const ViewRect& area, PackedPixels* out) override;

  // The pixmap named by `window`'s "_SCREENSAVER_SCREENSHOT" property; 0 when
  // there is none.
  static Pixmap ScreenshotPixmap(Display* display, Window window);

 private:
  // The monitor's part of the screenshot or the root window; `monitor`
  // null: the whole drawable. Null when nothing could be read.
  std::shared_ptr<XImage> ReadMonitor(const ScreenInfo* monitor);
  std::shared_ptr<XImage> ReadArea(const ViewRect& area);

  Display* display_;
  Window saverWindow_;
};
