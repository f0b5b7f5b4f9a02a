#include "host/ButterflyFolder.h"

#include <glib.h>

#include <cerrno>
#include <cstring>

std::string UserButterflyFolder() {
  std::string base;
  const char* data = g_getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') {
    base = data;
  } else {
    const char* home = g_getenv("HOME");
    if (home == nullptr || home[0] != '/') home = g_get_home_dir();
    if (home == nullptr || home[0] != '/') return std::string();
    base = std::string(home) + "/.local/share";
  }
  return base + "/wingdrift/butterflies";
}

bool EnsureFolder(const std::string& folder, std::string* error) {
  if (folder.empty()) {
    *error = "no butterfly folder is known";
    return false;
  }
  if (g_mkdir_with_parents(folder.c_str(), 0755) != 0 ||
      !g_file_test(folder.c_str(), G_FILE_TEST_IS_DIR)) {
    *error = "cannot create the folder " + folder + ": " + std::strerror(errno);
    return false;
  }
  return true;
}
