#pragma once
// A private X server for tests: Xvfb on a free display number (chosen by the
// server itself through -displayfd), killed and reaped on destruction.
// Tests GTEST_SKIP when Available() is false.
#include <sys/types.h>

#include <string>

class XvfbServer {
 public:
  XvfbServer() = default;
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // An Xvfb program is on the PATH.
  static bool Available();
  // Starts a server with one screen of the given size and depth and waits
  // (up to `timeoutSeconds`) until it accepts connections. On failure
  // `error` says why and nothing is left running.
  bool Start(int width = 640, int height = 480, int depth = 24, double timeoutSeconds = 20);
  void Stop();

  // ":N" once started.
  const std::string& name() const { return name_; }
  const std::string& error() const { return error_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
  std::string error_;
};
