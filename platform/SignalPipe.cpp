#include "platform/SignalPipe.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// The write end the handler uses; -1 while no instance lives.
volatile sig_atomic_t gWriteFd = -1;
volatile sig_atomic_t gDeadlineSet = 0;
volatile sig_atomic_t gDeadlineWanted = 0;

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction gPrevious[3] {};
struct sigaction gPreviousAlarm {};

void SetTimer(double seconds) {
  itimerval t{};
  t.it_value.tv_sec = static_cast<time_t>(seconds);
  t.it_value.tv_usec = static_cast<suseconds_t>((seconds - static_cast<double>(t.it_value.tv_sec)) * 1e6);
  setitimer(ITIMER_REAL, &t, nullptr);
}

// The deadline passed: whatever the program was doing, it ends now, quietly,
// as a signal to a screen saver asks.
void OnDeadline(int) { _exit(0); }

void OnSignal(int signo) {
  const int saved = errno;
  const int fd = gWriteFd;
  if (fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(signo);
    // A full pipe already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t n = write(fd, &byte, 1);
  }
  if (gDeadlineWanted && !gDeadlineSet) {
    gDeadlineSet = 1;
    SetTimer(kSignalGraceSeconds);
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
  gDeadlineSet = 0;
  struct sigaction alarm {};
  alarm.sa_handler = OnDeadline;
  sigemptyset(&alarm.sa_mask);
  sigaction(SIGALRM, &alarm, &gPreviousAlarm);
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: a blocked call returns early
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &sa, &gPrevious[i]);
}

SignalPipe::~SignalPipe() {
  if (readFd_ < 0) return;
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &gPrevious[i], nullptr);
  if (gDeadlineSet) SetTimer(0);
  sigaction(SIGALRM, &gPreviousAlarm, nullptr);
  gWriteFd = -1;
  close(readFd_);
  close(writeFd_);
}

void SignalPipe::EndProcessAfterGrace(bool on) { gDeadlineWanted = on ? 1 : 0; }

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
