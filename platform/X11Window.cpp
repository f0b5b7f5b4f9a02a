#include "platform/X11Window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/MonotonicClock.h"
#include "platform/X11Errors.h"
#include "platform/X11GLContext.h"

namespace {

constexpr long kCreatedEventMask =
    KeyPressMask | ButtonPressMask | PointerMotionMask | StructureNotifyMask | ExposureMask;
constexpr long kAdoptedEventMask = StructureNotifyMask | ExposureMask;

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

}  // namespace

X11Window::X11Window(Display* display, Window id, Kind kind, const GLXPixelFormat& format)
    : display_(display), id_(id), kind_(kind), format_(format) {
  X11Errors::Watch(id_);
}

std::unique_ptr<X11Window> X11Window::CreateFullScreen(Display* display, const ScreenInfo& monitor,
                                                       std::string* error, int samples) {
  return Create(display, Kind::FullScreen, samples, monitor.x, monitor.y, monitor.width,
                monitor.height, nullptr, error);
}

std::unique_ptr<X11Window> X11Window::CreateWindowed(Display* display, int width, int height,
                                                     const char* title, std::string* error,
                                                     int samples) {
  return Create(display, Kind::Windowed, samples, 0, 0, width, height, title, error);
}

std::unique_ptr<X11Window> X11Window::Create(Display* display, Kind kind, int samples, int x, int y,
                                             int width,
                                             int height, const char* title, std::string* error) {
  if (display == nullptr) {
    SetError(error, "no X display");
    return nullptr;
  }
  if (width < 1 || height < 1) {
    SetError(error, "window size must be at least 1 x 1");
    return nullptr;
  }
  X11Errors::Install();
  const int screen = DefaultScreen(display);
  GLXPixelFormat format;
  if (!GLXPixelFormat::ForNewWindow(display, screen, &format, samples)) {
    SetError(error, "GLX offers no double-buffered RGB visual with a depth buffer");
    return nullptr;
  }
  const Window root = RootWindow(display, screen);
  X11Errors::Trap trap(display);
  XSetWindowAttributes attrs{};
  attrs.colormap = XCreateColormap(display, root, format.visualInfo.visual, AllocNone);
  attrs.background_pixel = BlackPixel(display, screen);
  attrs.border_pixel = 0;
  attrs.event_mask = kCreatedEventMask;
  attrs.override_redirect = kind == Kind::FullScreen ? True : False;
  const Window id = XCreateWindow(
      display, root, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
      format.visualInfo.depth, InputOutput, format.visualInfo.visual,
      CWColormap | CWBackPixel | CWBorderPixel | CWEventMask | CWOverrideRedirect, &attrs);
  if (trap.Sync() != 0 || id == 0) {
    if (id != 0) XDestroyWindow(display, id);
    XFreeColormap(display, attrs.colormap);
    SetError(error, "the X server refused to create the window");
    return nullptr;
  }
  std::unique_ptr<X11Window> window(new X11Window(display, id, kind, format));
  window->colormap_ = attrs.colormap;
  window->x_ = x;
  window->y_ = y;
  window->width_ = width;
  window->height_ = height;

  XClassHint classHint{};
  char resName[] = "wingdrift";
  char resClass[] = "Wingdrift";
  classHint.res_name = resName;
  classHint.res_class = resClass;
  XSetClassHint(display, id, &classHint);
  if (title != nullptr) XStoreName(display, id, title);
  // Window managers and pagers tie a window to its process by these two.
  const long pid = static_cast<long>(getpid());
  XChangeProperty(display, id, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0) {
    char* hostList[] = {host};
    XTextProperty machine{};
    if (XStringListToTextProperty(hostList, 1, &machine) != 0) {
      XSetWMClientMachine(display, id, &machine);
      XFree(machine.value);
    }
  }
  if (kind == Kind::Windowed) {
    window->wmProtocols_ = XInternAtom(display, "WM_PROTOCOLS", False);
    window->wmDeleteWindow_ = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, id, &window->wmDeleteWindow_, 1);
  }
  return window;
}

std::unique_ptr<X11Window> X11Window::Adopt(Display* display, Window id, std::string* error) {
  if (display == nullptr) {
    SetError(error, "no X display");
    return nullptr;
  }
  X11Errors::Install();
  XWindowAttributes attrs{};
  {
    X11Errors::Trap trap(display);
    const Status ok = XGetWindowAttributes(display, id, &attrs);
    if (trap.Sync() != 0 || ok == 0) {
      char text[64];
      std::snprintf(text, sizeof text, "no window 0x%lx", id);
      SetError(error, text);
      return nullptr;
    }
  }
  GLXPixelFormat format;
  const int screen = XScreenNumberOfScreen(attrs.screen);
  if (!GLXPixelFormat::ForVisual(display, screen, XVisualIDFromVisual(attrs.visual), &format)) {
    char text[96];
    std::snprintf(text, sizeof text, "OpenGL cannot draw to the visual of window 0x%lx", id);
    SetError(error, text);
    return nullptr;
  }
  std::unique_ptr<X11Window> window(new X11Window(display, id, Kind::Adopted, format));
  window->width_ = attrs.width;
  window->height_ = attrs.height;
  window->x_ = attrs.x;
  window->y_ = attrs.y;
  {
    X11Errors::Trap trap(display);
    XSelectInput(display, id, kAdoptedEventMask);
    if (trap.Sync() != 0) window->destroyed_ = true;
  }
  window->FrameOnRoot();
  return window;
}

bool X11Window::ParseWindowId(const char* text, Window* id) {
  if (text == nullptr || id == nullptr) return false;
  int base = 10;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text += 2;
  }
  unsigned long long value = 0;
  const char* p = text;
  for (; *p != '\0'; ++p) {
    int digit;
    if (*p >= '0' && *p <= '9') {
      digit = *p - '0';
    } else if (base == 16 && *p >= 'a' && *p <= 'f') {
      digit = *p - 'a' + 10;
    } else if (base == 16 && *p >= 'A' && *p <= 'F') {
      digit = *p - 'A' + 10;
    } else {
      return false;
    }
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFull) return false;
  }
  if (p == text || value == 0) return false;
  *id = static_cast<Window>(value);
  return true;
}

X11Window::~X11Window() {
  X11Errors::Trap trap(display_);
  if (grabbed_) UngrabInput();
  if (kind_ == Kind::Adopted) {
    if (!lost()) XSelectInput(display_, id_, NoEventMask);
  } else {
    XDestroyWindow(display_, id_);
    if (colormap_ != 0) XFreeColormap(display_, colormap_);
    if (blankCursor_ != 0) XFreeCursor(display_, blankCursor_);
  }
  trap.Sync();
  X11Errors::Unwatch(id_);
}

ViewRect X11Window::FrameOnRoot() {
  if (!lost()) {
    X11Errors::Trap trap(display_);
    Window child = 0;
    int x = 0, y = 0;
    const Bool ok = XTranslateCoordinates(display_, id_, DefaultRootWindow(display_), 0, 0, &x,
                                          &y, &child);
    if (trap.Sync() == 0 && ok) {
      x_ = x;
      y_ = y;
    }
  }
  return ViewRect{static_cast<double>(x_), static_cast<double>(y_),
                  static_cast<double>(width_), static_cast<double>(height_)};
}

std::unique_ptr<OpenGLContext> X11Window::CreateContext() {
  if (lost()) return nullptr;
  return X11GLContext::Create(display_, id_, format_, nullptr, present_);
}

bool X11Window::Map(double waitSeconds) {
  if (kind_ == Kind::Adopted) return true;
  XMapRaised(display_, id_);
  XFlush(display_);
  if (waitSeconds <= 0) return true;
  const double end = MonotonicClock::Seconds() + waitSeconds;
  for (;;) {
    XEvent event;
    if (XCheckTypedWindowEvent(display_, id_, MapNotify, &event)) return true;
    const double left = end - MonotonicClock::Seconds();
    if (left <= 0) return false;
    pollfd pfd{ConnectionNumber(display_), POLLIN, 0};
    poll(&pfd, 1, std::max(1, static_cast<int>(left * 1000)));
    XEventsQueued(display_, QueuedAfterReading);
  }
}

bool X11Window::GrabInput() {
  const int keyboard =
      XGrabKeyboard(display_, id_, True, GrabModeAsync, GrabModeAsync, CurrentTime);
  const int pointer =
      XGrabPointer(display_, id_, True, ButtonPressMask | PointerMotionMask, GrabModeAsync,
                   GrabModeAsync, None, blankCursor_ != 0 ? blankCursor_ : None, CurrentTime);
  grabbed_ = keyboard == GrabSuccess || pointer == GrabSuccess;
  return keyboard == GrabSuccess && pointer == GrabSuccess;
}

void X11Window::UngrabInput() {
  XUngrabKeyboard(display_, CurrentTime);
  XUngrabPointer(display_, CurrentTime);
  XFlush(display_);
  grabbed_ = false;
}

void X11Window::HidePointer() {
  if (kind_ == Kind::Adopted || lost()) return;
  if (blankCursor_ == 0) {
    static const char bits[1] = {0};
    Pixmap empty = XCreateBitmapFromData(display_, id_, bits, 1, 1);
    XColor black{};
    blankCursor_ = XCreatePixmapCursor(display_, empty, empty, &black, &black, 0, 0);
    XFreePixmap(display_, empty);
  }
  XDefineCursor(display_, id_, blankCursor_);
}

bool X11Window::NoteConfigure(const XConfigureEvent& event) {
  if (event.window != id_) return false;
  const bool changed = event.width != width_ || event.height != height_;
  width_ = event.width;
  height_ = event.height;
  return changed;
}

bool X11Window::IsDeleteRequest(const XClientMessageEvent& event) const {
  return wmDeleteWindow_ != 0 && event.window == id_ && event.message_type == wmProtocols_ &&
         event.format == 32 && static_cast<Atom>(event.data.l[0]) == wmDeleteWindow_;
}

bool X11Window::lost() const { return destroyed_ || X11Errors::Lost(id_); }
