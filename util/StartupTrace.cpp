#include "util/StartupTrace.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The process's start, seconds on CLOCK_BOOTTIME; negative when unknown.
double ProcessStart() {
  std::FILE* f = std::fopen("/proc/self/stat", "r");
  if (f == nullptr) return -1.0;
  char line[1024] = {};
  const size_t n = std::fread(line, 1, sizeof line - 1, f);
  std::fclose(f);
  line[n] = '\0';
  // Field 22, counted from the state (field 3) after the command's ')'.
  const char* p = std::strrchr(line, ')');
  if (p == nullptr) return -1.0;
  for (int field = 2; field < 22 && p != nullptr; ++field) p = std::strchr(p + 1, ' ');
  if (p == nullptr) return -1.0;
  const double ticks = std::strtod(p + 1, nullptr);
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

void TraceStart(const char* stage) {
  static const bool enabled = std::getenv("WINGDRIFT_TRACE_START") != nullptr;
  if (!enabled) return;
  static const double start = ProcessStart();
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double t = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
  timespec cpu{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
  const double c = static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) * 1e-9;
  std::fprintf(stderr, "wingdrift: start +%.3f s (CPU %.3f s) %s\n", start >= 0 ? t - start : -1.0,
               c, stage);
}
