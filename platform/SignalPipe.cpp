#include "platform/SignalPipe.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

// The write end the handler uses; -1 while no instance lives.
volatile sig_atomic_t gWriteFd = -1;
struct sigaction gPreviousTerm {};
struct sigaction gPreviousInt {};

void OnSignal(int signo) {
  const int saved = errno;
  const int fd = gWriteFd;
  if (fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(signo);
    // A full pipe already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t n = write(fd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

SignalPipe::SignalPipe() {
  if (gWriteFd >= 0) return;  // another instance owns the handlers
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  readFd_ = fds[0];
  writeFd_ = fds[1];
  gWriteFd = writeFd_;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, &gPreviousTerm);
  sigaction(SIGINT, &sa, &gPreviousInt);
}

SignalPipe::~SignalPipe() {
  if (readFd_ < 0) return;
  sigaction(SIGTERM, &gPreviousTerm, nullptr);
  sigaction(SIGINT, &gPreviousInt, nullptr);
  gWriteFd = -1;
  close(readFd_);
  close(writeFd_);
}

int SignalPipe::Take() {
  if (readFd_ < 0) return 0;
  int last = 0;
  unsigned char buf[64];
  for (;;) {
    const ssize_t n = read(readFd_, buf, sizeof buf);
    if (n > 0) {
      last = buf[n - 1];
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  return last;
}
