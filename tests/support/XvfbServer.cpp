#include "tests/support/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

bool XvfbServer::Available() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (!dir.empty() && access((dir + "/Xvfb").c_str(), X_OK) == 0) return true;
  }
  return false;
}

XvfbServer::~XvfbServer() { Stop(); }

bool XvfbServer::Start(int width, int height, int depth, double timeoutSeconds) {
  Stop();
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return false;
  }
  const std::string screen =
      std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    error_ = "fork failed";
    return false;
  }
  if (pid == 0) {
    // The child: the write end becomes fd 3, kept open across exec.
    dup2(fds[1], 3);
    const int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, 0);
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    // A new process group, so a terminal's Ctrl-C reaches only the test; and
    // the server goes when the test dies without cleaning up (a crash).
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", screen.c_str(), "-nolisten",
           "tcp", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  pid_ = pid;
  // The server writes its display number once it is ready for clients.
  std::string number;
  const double end = Now() + timeoutSeconds;
  bool done = false;
  while (!done) {
    const double left = end - Now();
    if (left <= 0) break;
    pollfd pfd{fds[0], POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
    char buf[32];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;  // the server exited
    for (ssize_t i = 0; i < n; ++i) {
      if (buf[i] == '\n') done = true;
      else number += buf[i];
    }
  }
  close(fds[0]);
  if (!done || number.empty()) {
    error_ = "Xvfb did not report a display number";
    Stop();
    return false;
  }
  name_ = ":" + number;
  return true;
}

void XvfbServer::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    // Xvfb ends within moments of SIGTERM; do not hang a test run on it.
    for (int i = 0; i < 200; ++i) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      usleep(10000);
    }
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
  }
  pid_ = -1;
  name_.clear();
}
