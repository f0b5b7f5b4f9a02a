#include "platform/XScreenSaverPrefs.h"

#include <strings.h>

#include <fstream>

#include "util/RegularFile.h"

namespace {

constexpr size_t kMaxLines = 10000;  // a preferences file is a few hundred lines

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

}  // namespace

std::optional<bool> XScreenSaverPrefs::ReadBool(const std::string& path, const std::string& name) {
  std::optional<bool> value;
  // Only a regular file: opening a FIFO would block.
  std::ifstream in;
  if (!OpenRegularFile(in, path.c_str())) return value;
  std::string line;
  for (size_t n = 0; n < kMaxLines && std::getline(in, line); ++n) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string key = Trim(line.substr(0, colon));
    // "*name" and "XScreenSaver.name" in app-defaults, "name" in ~/.xscreensaver.
    const size_t dot = key.find_last_of("*.");
    if (dot != std::string::npos) key = key.substr(dot + 1);
    if (key != name) continue;
    const std::string v = Trim(line.substr(colon + 1));
    for (const char* yes : {"true", "yes", "on", "1"}) {
      if (strcasecmp(v.c_str(), yes) == 0) value = true;
    }
    for (const char* no : {"false", "no", "off", "0"}) {
      if (strcasecmp(v.c_str(), no) == 0) value = false;
    }
  }
  return value;
}

bool XScreenSaverPrefs::GrabDesktopImages(const std::string& home, const std::string& appDefaults) {
  if (!home.empty()) {
    if (auto v = ReadBool(home + "/.xscreensaver", "grabDesktopImages")) return *v;
  }
  if (auto v = ReadBool(appDefaults, "grabDesktopImages")) return *v;
  return true;
}
