#pragma once
// The native X11 window a view draws in.
//
// Three kinds:
//  - FullScreen: an override-redirect window covering one monitor, for the
//    screen saver on the user's own desktop; it reports keys, clicks and
//    pointer motion so the saver can end on them.
//  - Windowed: an ordinary, resizable top-level window that takes part in the
//    window manager's WM_DELETE_WINDOW protocol.
//  - Adopted: someone else's window, named by id (XScreenSaver's window, a
//    preview window, or the root window). It is never changed or destroyed;
//    its visual decides the pixel format, and only its structure events (size
//    changes, destruction) are selected, as keys and clicks belong to its
//    owner.
// Created windows get a GLX visual and stay unmapped until Map(), so the
// desktop can be read before they cover it. Every window is watched by
// X11Errors, so one that vanishes is reported by lost() instead of ending the
// process. The Display must outlive the window. Main thread only.
#include <X11/Xlib.h>

#include <memory>
#include <string>

#include "platform/GLXPixelFormat.h"
#include "platform/ScreenInfo.h"
#include "platform/ViewWindow.h"

class X11Window final : public ViewWindow {
 public:
  enum class Kind { FullScreen, Windowed, Adopted };

  // Each factory returns null with the reason in `error` (when not null).
  // The windows we create are multisampled with up to `samples` samples per
  // pixel where GLX offers them (see GLXPixelFormat::ForNewWindow).
  static std::unique_ptr<X11Window> CreateFullScreen(Display* display, const ScreenInfo& monitor,
                                                     std::string* error, int samples = 0);
  // `title` also names the window class ("wingdrift", "Wingdrift").
  static std::unique_ptr<X11Window> CreateWindowed(Display* display, int width, int height,
                                                   const char* title, std::string* error,
                                                   int samples = 0);
  static std::unique_ptr<X11Window> Adopt(Display* display, Window id, std::string* error);
  // A window id as XScreenSaver passes it (XSCREENSAVER_WINDOW, --window-id):
  // "0x" and hex digits, or decimal digits. False for anything else, for 0
  // and for values beyond 32 bits (X ids have 29).
  static bool ParseWindowId(const char* text, Window* id);
  ~X11Window() override;
  X11Window(const X11Window&) = delete;
  X11Window& operator=(const X11Window&) = delete;

  ViewRect FrameOnRoot() override;
  // An X11GLContext with this window's pixel format, swap interval 1, and
  // the present path set with setPresentPath (Auto unless set).
  std::unique_ptr<OpenGLContext> CreateContext() override;
  void setPresentPath(PresentPath path) { present_ = path; }
  // The windows we create have a black background; an adopted one's is its
  // owner's.
  bool BlackUntilDrawn() override { return kind_ != Kind::Adopted; }

  // Maps and raises a created window (adopted ones are left alone). With a
  // positive `waitSeconds`, waits up to that long for the server to report it
  // mapped; other events stay queued. True when mapped (or not waiting).
  bool Map(double waitSeconds);
  // Directs the keyboard and the pointer to this window (a full-screen saver
  // does this, as override-redirect windows get no focus). True when both
  // grabs succeeded; the window must be mapped.
  bool GrabInput();
  void UngrabInput();
  // Shows no pointer over the window.
  void HidePointer();

  // Takes a ConfigureNotify for this window; true when the size changed.
  bool NoteConfigure(const XConfigureEvent& event);
  // This is the window manager's request to close this window.
  bool IsDeleteRequest(const XClientMessageEvent& event) const;
  // The window was destroyed (DestroyNotify) or an error showed it gone.
  bool lost() const;
  void MarkDestroyed() { destroyed_ = true; }

  Display* display() const { return display_; }
  Window id() const { return id_; }
  Kind kind() const { return kind_; }
  int width() const { return width_; }    // pixels, as last known
  int height() const { return height_; }  // pixels, as last known
  const GLXPixelFormat& format() const { return format_; }

 private:
  X11Window(Display* display, Window id, Kind kind, const GLXPixelFormat& format);
  static std::unique_ptr<X11Window> Create(Display* display, Kind kind, int samples, int x, int y,
                                           int width,
                                           int height, const char* title, std::string* error);

  Display* display_;
  Window id_;
  Kind kind_;
  GLXPixelFormat format_;
  Colormap colormap_ = 0;
  Cursor blankCursor_ = 0;
  Atom wmProtocols_ = 0;
  Atom wmDeleteWindow_ = 0;
  int x_ = 0;       // root coordinates, pixels, as last known
  int y_ = 0;
  int width_ = 0;   // pixels
  int height_ = 0;  // pixels
  bool destroyed_ = false;
  bool grabbed_ = false;
  PresentPath present_ = PresentPath::Auto;
};
