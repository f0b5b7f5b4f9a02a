#include "platform/XRandRScreens.h"

#include <X11/extensions/Xrandr.h>

ScreenList XRandRScreens::Screens() {
  ScreenList list;
  if (display_ == nullptr) return list;
  const int screen = DefaultScreen(display_);
  const Window root = RootWindow(display_, screen);
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (XRRQueryExtension(display_, &eventBase, &errorBase) &&
      XRRQueryVersion(display_, &major, &minor) && (major > 1 || (major == 1 && minor >= 5))) {
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display_, root, True, &count);
    for (int i = 0; monitors != nullptr && i < count; ++i) {
      ScreenInfo s;
      s.number = i;
      s.x = monitors[i].x;
      s.y = monitors[i].y;
      s.width = monitors[i].width;
      s.height = monitors[i].height;
      s.primary = monitors[i].primary != 0;
      if (monitors[i].name != None) {
        if (char* name = XGetAtomName(display_, monitors[i].name)) {
          s.name = name;
          XFree(name);
        }
      }
      list.screens.push_back(s);
    }
    if (monitors != nullptr) XRRFreeMonitors(monitors);
  }
  if (list.screens.empty()) {
    ScreenInfo s;
    s.width = DisplayWidth(display_, screen);
    s.height = DisplayHeight(display_, screen);
    s.primary = true;
    list.screens.push_back(s);
  }
  return list;
}
