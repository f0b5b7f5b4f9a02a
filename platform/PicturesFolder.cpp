#include "platform/PicturesFolder.h"

#include <glib.h>

#include <cstdlib>

namespace {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') home = g_get_home_dir();
  if (home == nullptr || home[0] != '/') return {};
  std::string h = home;
  while (h.size() > 1 && h.back() == '/') h.pop_back();
  return h;
}

}  // namespace

std::string UserPicturesFolder() {
  const std::string home = HomeFolder();
  const char* pictures = g_get_user_special_dir(G_USER_DIRECTORY_PICTURES);
  std::string folder;
  // xdg-user-dirs sets a folder it does not want to the home folder itself.
  if (pictures != nullptr && pictures[0] == '/' && pictures != home) {
    folder = pictures;
  } else if (!home.empty()) {
    folder = home + "/Pictures";
  } else {
    return {};
  }
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string ExpandHomeFolder(const std::string& folder) {
  if (folder != "~" && folder.rfind("~/", 0) != 0) return folder;
  const std::string home = HomeFolder();
  if (home.empty()) return folder;
  return (home == "/" ? std::string() : home) + folder.substr(1);
}
