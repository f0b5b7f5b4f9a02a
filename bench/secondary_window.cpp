// For scripts/measure-cpu: makes the X display's root two RandR monitors side
// by side, the right one the main (primary) one, and maps a window on the
// left one, as XScreenSaver does on a secondary monitor. Prints the window's
// id ("0x...") and keeps it until standard input closes.
//
//   secondary_window
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>

namespace {

void AddMonitor(Display* display, const char* name, int x, int width, int height, bool primary) {
  XRRMonitorInfo* m = XRRAllocateMonitor(display, 0);
  m->name = XInternAtom(display, name, False);
  m->primary = primary ? True : False;
  m->x = x;
  m->y = 0;
  m->width = width;
  m->height = height;
  m->mwidth = width / 4;
  m->mheight = height / 4;
  XRRSetMonitor(display, DefaultRootWindow(display), m);
  XFree(m);
}

}  // namespace

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "secondary_window: no X display\n");
    return 1;
  }
  const int screen = DefaultScreen(display);
  const int half = DisplayWidth(display, screen) / 2, height = DisplayHeight(display, screen);
  AddMonitor(display, "secondary", 0, half, height, false);
  AddMonitor(display, "main", half, half, height, true);
  const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0,
                                            static_cast<unsigned>(half),
                                            static_cast<unsigned>(height), 0, 0,
                                            BlackPixel(display, screen));
  XMapWindow(display, window);
  XSync(display, False);
  std::printf("0x%lx\n", window);
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  XCloseDisplay(display);
  return 0;
}
