#pragma once
// Xlib's error reporting, made survivable.
//
// Xlib's default handler prints and exits the process on any protocol error,
// which a screen saver meets as a matter of course: the window it draws on
// belongs to another client and may vanish at any moment. Install() puts a
// handler in its place (process state, as Xlib's handler is) that
//  - inside a Trap, records the error for the trap and swallows it;
//  - for a watched window, marks the window lost when the error is
//    BadWindow, BadDrawable or an extension's error (GLX reports a vanished
//    drawable that way) naming it, and swallows it;
//  - otherwise prints one line to standard error and carries on, or, after
//    PassOthersOn(), hands the error to the handler that was in place before
//    (a toolkit's, whose own error traps then keep working).
// Main thread only.

// Avoids including Xlib here; Display is Xlib's connection type.
struct _XDisplay;
struct X11ErrorsAccess;

class X11Errors {
 public:
  // Installs the handler once; later calls do nothing.
  static void Install();
  // Installs the handler in front of the one in place now (call after the
  // toolkit opened its display); errors the handler does not take go to
  // that one.
  static void PassOthersOn();
  static void Watch(unsigned long window);
  static void Unwatch(unsigned long window);
  // An error showed that the watched `window` no longer exists.
  static bool Lost(unsigned long window);

  // Records the errors of the requests made while it lives. Traps nest; the
  // innermost one records.
  class Trap {
   public:
    explicit Trap(_XDisplay* display);
    ~Trap();
    Trap(const Trap&) = delete;
    Trap& operator=(const Trap&) = delete;
    // Waits until the server has handled every request so far (XSync) and
    // returns the first error code recorded, 0 when none.
    int Sync();

   private:
    friend struct X11ErrorsAccess;
    _XDisplay* display_;
    Trap* outer_ = nullptr;
    int firstError_ = 0;
  };
};
