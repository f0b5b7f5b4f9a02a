#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a readable file descriptor (the
// self-pipe trick), so an event loop that polls it can end promptly and
// cleanly instead of dying inside a frame.
//
// A process that is not back at its loop soon after the signal (a slow
// set-up, a blocked call) must still go: with EndProcessAfterGrace(true),
// the first signal also starts a deadline of kSignalGraceSeconds, after
// which the process exits at once with status 0. The handlers are installed
// without SA_RESTART, so a call blocked when the signal comes returns early
// instead of resuming.
//
// At most one instance at a time: the handler writes to the pipe of the live
// instance (process state, as signal dispositions are). Construction installs
// the handlers and destruction restores the previous ones (and stops a
// running deadline); a signal that arrived meanwhile stays readable until
// Take().

// How long after a signal the process may take to end by itself.
inline constexpr double kSignalGraceSeconds = 0.8;

class SignalPipe {
 public:
  SignalPipe();
  ~SignalPipe();
  SignalPipe(const SignalPipe&) = delete;
  SignalPipe& operator=(const SignalPipe&) = delete;

  // The pipe and the handlers are in place.
  bool ok() const { return readFd_ >= 0; }
  // Readable once a signal has arrived; -1 when !ok().
  int fd() const { return readFd_; }
  // Drains the pipe; the number of the last signal received, 0 when none.
  int Take();

  // Whether a signal also ends the whole process kSignalGraceSeconds later
  // (process state; off unless a program turns it on).
  static void EndProcessAfterGrace(bool on);

 private:
  int readFd_ = -1;
  int writeFd_ = -1;
};
