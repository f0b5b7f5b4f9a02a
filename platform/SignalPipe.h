#pragma once
// Turns SIGTERM and SIGINT into a readable file descriptor (the self-pipe
// trick), so an event loop that polls it can end promptly and cleanly instead
// of dying inside a frame.
//
// At most one instance at a time: the handler writes to the pipe of the live
// instance (process state, as signal dispositions are). Construction installs
// the handlers and destruction restores the previous ones; a signal that
// arrived meanwhile stays readable until Take().

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

 private:
  int readFd_ = -1;
  int writeFd_ = -1;
};
