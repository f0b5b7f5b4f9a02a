#include "platform/X11Errors.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Watched {
  unsigned long window = 0;
  bool lost = false;
};

bool gInstalled = false;
int (*gPrevious)(Display*, XErrorEvent*) = nullptr;
bool gPassOn = false;
std::vector<Watched> gWatched;
X11Errors::Trap* gTrap = nullptr;

Watched* Find(unsigned long window) {
  for (Watched& w : gWatched) {
    if (w.window == window) return &w;
  }
  return nullptr;
}

}  // namespace

// The handler, a friend of Trap so it can record into the live one.
struct X11ErrorsAccess {
  static int OnError(Display* display, XErrorEvent* event) {
    if (gTrap != nullptr) {
      if (gTrap->firstError_ == 0) gTrap->firstError_ = event->error_code;
      return 0;
    }
    if (Watched* w = Find(event->resourceid)) {
      if (event->error_code == BadWindow || event->error_code == BadDrawable ||
          event->error_code >= 128) {
        w->lost = true;
        return 0;
      }
    }
    if (gPassOn && gPrevious != nullptr) return gPrevious(display, event);
    char text[256] = "";
    XGetErrorText(display, event->error_code, text, sizeof text);
    std::fprintf(stderr, "wingdrift: X error: %s (request %d.%d, resource 0x%lx)\n", text,
                 event->request_code, event->minor_code, event->resourceid);
    return 0;
  }
};

void X11Errors::Install() {
  if (gInstalled) return;
  gInstalled = true;
  gPrevious = XSetErrorHandler(X11ErrorsAccess::OnError);
}

void X11Errors::PassOthersOn() {
  Install();
  gPassOn = true;
}

void X11Errors::Watch(unsigned long window) {
  if (Find(window) == nullptr) gWatched.push_back(Watched{window, false});
}

void X11Errors::Unwatch(unsigned long window) {
  gWatched.erase(std::remove_if(gWatched.begin(), gWatched.end(),
                                [window](const Watched& w) { return w.window == window; }),
                 gWatched.end());
}

bool X11Errors::Lost(unsigned long window) {
  const Watched* w = Find(window);
  return w != nullptr && w->lost;
}

X11Errors::Trap::Trap(_XDisplay* display) : display_(display), outer_(gTrap) {
  Install();
  // Errors of requests made before the trap belong to whoever made them.
  if (display_ != nullptr) XSync(display_, False);
  gTrap = this;
}

X11Errors::Trap::~Trap() {
  if (display_ != nullptr) XSync(display_, False);
  gTrap = outer_;
}

int X11Errors::Trap::Sync() {
  if (display_ != nullptr) XSync(display_, False);
  return firstError_;
}
