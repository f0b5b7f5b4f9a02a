// Measures one screen-saver program on an X display the caller provides:
// the time from its start to its first drawn frame, then, over a fixed
// span, the CPU time it uses and the frames it draws.
//
//   saver_probe SECONDS X Y PROGRAM [ARGS...]
//
// The first drawn frame is the first moment the pixel at (X, Y) of the root
// window is no longer black. On a root painted with a picture (a desktop, as
// users have one) the program's window first covers it in black, its
// background, and the first frame is the first non-black after that. With
// a negative X the program is not expected to draw: the span starts 3 s
// after the program, and first_frame_s is -1.
// Frames are counted by the X server: the probe watches the root window with
// the DAMAGE extension and counts each burst of drawing (changes less than
// 4 ms apart) as one frame, which counts swapped frames and frames shown in
// part (copied rectangles) alike. Mesa's HUD, which the probe turns on for
// the program, counts swaps only; its count is printed as hud_frames. CPU time is
// user + system time of the program and all its threads (Mesa's llvmpipe
// renders on threads of its own), read from /proc at the end of the span;
// then the program gets SIGTERM. Prints one line:
//   first_frame_s=... seconds=... cpu_s=... frames=... hud_frames=... fps=...
//   cpu_ms_per_frame=... cores=...
// (cores: CPU seconds per second).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kHudPeriod = 0.5;  // s
// Drawing this close after the last counts to the same frame.
constexpr double kBurstGap = 0.004;  // s
// Time a program that is not expected to draw gets to start up.
constexpr double kSettle = 3.0;  // s

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// User + system CPU seconds of a process (all threads), from /proc.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  // Fields after the command: state is 3, utime 14, stime 15.
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool NonBlack(Display* display, int x, int y) {
  XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  const bool lit = (XGetPixel(image, 0, 0) & 0xFFFFFF) != 0;
  XDestroyImage(image);
  return lit;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: saver_probe SECONDS X Y PROGRAM [ARGS...]\n");
    return 2;
  }
  const double span = std::atof(argv[1]);
  const int px = std::atoi(argv[2]), py = std::atoi(argv[3]);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "saver_probe: no X display\n");
    return 1;
  }
  char hudDir[] = "/tmp/saver_probe.XXXXXX";
  if (mkdtemp(hudDir) == nullptr) return 1;

  const double start = Now();
  const pid_t pid = fork();
  if (pid < 0) return 1;
  if (pid == 0) {
    setenv("GALLIUM_HUD", "fps", 1);
    setenv("GALLIUM_HUD_DUMP_DIR", hudDir, 1);
    char period[16];
    std::snprintf(period, sizeof period, "%g", kHudPeriod);
    setenv("GALLIUM_HUD_PERIOD", period, 1);
    execvp(argv[4], argv + 4);
    std::perror(argv[4]);
    _exit(127);
  }

  double firstFrame = -1;
  if (px < 0) usleep(static_cast<useconds_t>(kSettle * 1e6));
  // A painted root shows until the program's (black) window covers it.
  bool covered = px < 0 || !NonBlack(display, px, py);
  while (px >= 0 && Now() - start < 30) {
    const bool lit = NonBlack(display, px, py);
    if (!covered) {
      covered = !lit;
    } else if (lit) {
      firstFrame = Now() - start;
      break;
    }
    if (waitpid(pid, nullptr, WNOHANG) == pid) {
      std::fprintf(stderr, "saver_probe: %s ended early\n", argv[4]);
      return 1;
    }
    usleep(2000);
  }
  // The span runs from the first frame, so that set-up time is not spread
  // over the frames.
  int damageEvent = 0, damageError = 0;
  const bool damage = XDamageQueryExtension(display, &damageEvent, &damageError) != 0;
  Damage watch = damage ? XDamageCreate(display, DefaultRootWindow(display),
                                        XDamageReportNonEmpty)
                        : 0;
  XSync(display, False);
  const double cpuAtFirst = CpuSeconds(pid);
  const double end = Now() + span;
  long damageFrames = 0;
  double burst = -1;  // when the current burst began; -1 between bursts
  while (Now() < end) {
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    const double wait = burst < 0 ? 0.05 : burst + kBurstGap - Now();
    poll(&fd, 1, wait > 0 ? static_cast<int>(wait * 1000) + 1 : 0);
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (damage && event.type == damageEvent + XDamageNotify && burst < 0) burst = Now();
    }
    if (burst >= 0 && Now() >= burst + kBurstGap) {
      ++damageFrames;
      XDamageSubtract(display, watch, None, None);
      XFlush(display);
      burst = -1;
    }
  }
  const double cpu = CpuSeconds(pid) - cpuAtFirst;
  if (damage) XDamageDestroy(display, watch);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);

  // Every line is the frame rate over one period; the first periods fall
  // before the span (set-up), the count keeps the last span's worth.
  std::vector<double> rates;
  std::ifstream fps(std::string(hudDir) + "/fps");
  for (double r; fps >> r;) rates.push_back(r);
  const size_t keep = static_cast<size_t>(span / kHudPeriod);
  double hudFrames = 0;
  for (size_t i = rates.size() > keep ? rates.size() - keep : 0; i < rates.size(); ++i) {
    hudFrames += rates[i] * kHudPeriod;
  }
  const double frames = damage ? static_cast<double>(damageFrames) : hudFrames;
  std::remove((std::string(hudDir) + "/fps").c_str());
  rmdir(hudDir);
  XCloseDisplay(display);

  std::printf(
      "first_frame_s=%.3f seconds=%.1f cpu_s=%.2f frames=%.0f hud_frames=%.0f fps=%.1f "
      "cpu_ms_per_frame=%.1f cores=%.2f\n",
      firstFrame, span, cpu, frames, hudFrames, frames / span,
      frames > 0 ? 1000.0 * cpu / frames : 0.0, cpu / span);
  return firstFrame < 0 && px >= 0 ? 1 : 0;
}
