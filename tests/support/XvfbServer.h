#pragma once
// A private X server for tests: Xvfb on a free display number (chosen by the
// server itself through -displayfd), killed and reaped on destruction.
// Tests GTEST_SKIP when Available() is false.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

class XvfbServer {
 public:
  XvfbServer() = default;
  ~XvfbServer() { Stop(); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // An Xvfb program is on the PATH.
  static bool Available() { return std::system("command -v Xvfb >/dev/null 2>&1") == 0; }

  // Starts a server with one screen of the given size and depth and waits
  // (up to `timeoutSeconds`) until it accepts connections. On failure
  // `error` says why and nothing is left running.
  bool Start(int width = 640, int height = 480, int depth = 24, double timeoutSeconds = 20) {
    Stop();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
      error_ = "pipe failed";
      return false;
    }
    const std::string screen =
        std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      // The write end becomes fd 3, kept open across exec. A process group of
      // its own keeps a terminal's Ctrl-C to the test; the server goes when
      // the test dies without cleaning up.
      dup2(fds[1], 3);
      const int devnull = open("/dev/null", O_RDWR);
      for (int fd : {0, 1, 2}) dup2(devnull, fd);
      setpgid(0, 0);
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() == parent)
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", screen.c_str(), "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // The server writes its display number once it is ready for clients;
    // the wait is for each of its few characters.
    std::string number;
    char c = 0;
    pollfd pfd{fds[0], POLLIN, 0};
    while (pid_ > 0 && poll(&pfd, 1, static_cast<int>(timeoutSeconds * 1000)) > 0 &&
           read(fds[0], &c, 1) == 1 && c != '\n') {
      number += c;
    }
    close(fds[0]);
    if (c != '\n' || number.empty()) {
      error_ = "Xvfb did not report a display number";
      Stop();
      return false;
    }
    name_ = ":" + number;
    return true;
  }
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
    name_.clear();
  }

  // ":N" once started.
  const std::string& name() const { return name_; }
  const std::string& error() const { return error_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
  std::string error_;
};
