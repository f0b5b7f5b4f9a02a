#pragma once
// The event loop that drives screen-saver views.
//
// One thread waits in poll() on the X connection and on a SignalPipe, with the
// time until the next animation tick as its timeout. Each animating view has
// its own DeadlinePacer, started when the loop sees the view begin animating:
// animateOneFrame runs every animationTimeInterval seconds on a fixed grid,
// with ticks missed during a long frame skipped. When no view animates, the
// loop waits for X events and signals only and uses no CPU.
//
// X events of a view's window become calls: a size change calls
// setFrameSize; keys, clicks, pointer motion beyond `motionSlop` pixels and the
// window manager's close request go to the hooks, which say whether the loop
// goes on. A window destroyed, or reported gone by an X error, ends the loop
// quietly, as do SIGTERM, SIGINT and SIGHUP. Main thread only.
#include <functional>
#include <vector>

#include "platform/DeadlinePacer.h"
#include "platform/FrameClock.h"
#include "platform/MonotonicClock.h"
#include "platform/ScreenSaverView.h"
#include "platform/SignalPipe.h"

// Xlib's types, declared here so that this header does not bring in Xlib's
// macros: Display is struct _XDisplay, XEvent is union _XEvent.
struct _XDisplay;
union _XEvent;
class X11Window;

class RunLoop {
 public:
  enum class Exit {
    Quit,            // Quit() or a hook asked to stop
    Closed,          // the window manager asked to close a window, no hook said otherwise
    WindowLost,      // a view's window was destroyed
    Signal,          // SIGTERM, SIGINT or SIGHUP
    // The X connection failed. Xlib's I/O error handler, which exits with
    // status 1, usually sees that first; a program that wants another status
    // installs its own (XSetIOErrorHandler).
    ConnectionLost,
  };
  enum class Action { Continue, Quit };

  struct Hooks {
    // Unset hooks continue, except closeRequested, which quits (Exit::Closed).
    // `key` is the X KeySym of the key (XK_q, XK_Escape, ...).
    std::function<Action(ScreenSaverView& view, unsigned long key)> keyPress;
    std::function<Action(ScreenSaverView& view, unsigned button)> buttonPress;
    // The pointer moved more than `motionSlop` pixels (either axis) from where
    // the loop first saw it.
    std::function<Action(ScreenSaverView& view)> pointerMoved;
    std::function<Action(ScreenSaverView& view)> closeRequested;
    // The window needs repainting; a view that animates repaints anyway.
    std::function<void(ScreenSaverView& view)> exposed;
  };

  // `display` may be null for views without windows; `clock` null uses the
  // monotonic clock. Installs the signal handlers (see SignalPipe): create the
  // loop before slow set-up work, so that a SIGTERM meanwhile ends the loop at
  // its first wait instead of killing the process.
  explicit RunLoop(_XDisplay* display, FrameClock* clock = nullptr);
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

  // Drives `view`, whose events come from `window` (null: none). Both must
  // outlive the loop's use of them; the window is usually the view's own.
  // Not while Run() is running.
  void Add(ScreenSaverView* view, X11Window* window);
  // Runs until one of the Exit reasons; may be called again afterwards.
  Exit Run();
  // Ends Run() after the current event or frame.
  void Quit() { quit_ = true; }
  // The signal handlers are in place.
  bool signalsOk() const { return signals_.ok(); }

  Hooks hooks;
  int motionSlop = 8;  // pixels

  // How often poll() returned; a stopped loop wakes only for events.
  unsigned long long wakeups() const { return wakeups_; }
  // The poll() timeout for `seconds` until the next tick: whole milliseconds,
  // rounded up so the loop never wakes before a deadline; -1 (wait for
  // events) for a negative value.
  static int PollTimeoutMs(double seconds);

 private:
  struct Entry {
    ScreenSaverView* view = nullptr;
    X11Window* window = nullptr;
    DeadlinePacer pacer;
  };

  bool HandleEvent(const _XEvent& event, Exit* exit);
  Entry* EntryFor(unsigned long window);
  bool Apply(Action action, Exit* exit);
  void SyncPacers(double now);
  bool CheckLost(Exit* exit);

  _XDisplay* display_;
  MonotonicClock monotonic_;
  FrameClock* clock_;
  SignalPipe signals_;
  std::vector<Entry> entries_;
  bool quit_ = false;
  bool pointerKnown_ = false;
  int pointerX_ = 0;  // root coordinates of the first pointer position seen
  int pointerY_ = 0;
  unsigned long long wakeups_ = 0;
};
