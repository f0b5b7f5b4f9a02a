#include "util/Diagnostics.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void DefaultAlert(const char* caption, const char* text) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
}
void NoReport(const char*) {}

AlertHook g_alert = DefaultAlert;
ReportHook g_errorClose = NoReport;
ReportHook g_errorBox = NoReport;

template <typename Hook>
Hook Swap(Hook& slot, Hook hook, Hook fallback) {
  Hook previous = slot;
  slot = hook ? hook : fallback;
  return previous;
}

// Appends one formatted record; silently does nothing when the file cannot be
// opened, as a debugging aid must never disturb the saver.
template <typename... Args>
void Append(const char* file, const char* format, Args... args) {
  std::string path = DebugFolder() + file;
  if (FILE* f = std::fopen(path.c_str(), "a")) {
    std::fprintf(f, format, args...);
    std::fclose(f);
  }
}

}  // namespace

AlertHook SetAlertHook(AlertHook hook) { return Swap(g_alert, hook, DefaultAlert); }
ReportHook SetErrorCloseHook(ReportHook hook) { return Swap(g_errorClose, hook, NoReport); }
ReportHook SetErrorBoxHook(ReportHook hook) { return Swap(g_errorBox, hook, NoReport); }

void MessageBox(void*, const char* text, const char* caption, int) {
  g_alert(caption ? caption : "", text ? text : "");
}

void ERRORCLOSE(const char* message) { g_errorClose(message ? message : ""); }
void ERRORBOX(const char* message) { g_errorBox(message ? message : ""); }

std::string DebugFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = (tmp && *tmp) ? tmp : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

void DEBUG(double v) { Append("debug.txt", "%f\n", v); }
void DEBUGstr(const char* s) { Append("debug.txt", "%s\n", s ? s : ""); }
void DEBUGp3d(VECTOR3D p) {
  Append("debug.txt", "%f,%f,%f\n", double(p.x), double(p.y), double(p.z));
}

void SaveMatrix(MATRIX m) {
  std::string path = DebugFolder() + "test.txt";
  FILE* f = std::fopen(path.c_str(), "a");
  if (!f) return;
  std::fprintf(f, "\n");
  for (int j = 0; j < 4; ++j) {
    for (int i = 0; i < 4; ++i) std::fprintf(f, "%4.5f ", m.m[4 * j + i]);
    std::fprintf(f, "\n");
  }
  std::fclose(f);
}
