#pragma once
// The program's data folder (the stand-in for the module bundle's resource
// folder), found next to the executable so that an installed copy and one run
// from the build tree both work:
//  1. <folder of the executable>/WINGDRIFT_INSTALLED_DATA_DIR, by default
//     "../share/wingdrift" (installed: bin/ beside share/);
//  2. <folder of the executable>/WINGDRIFT_BUILD_DATA_DIR, by default
//     "../data" (the build tree: the build writes its data into <build>/data
//     and its programs into folders one level below <build>).
// The first that is an existing folder wins; a program in a build tree
// (CMakeCache.txt one folder above it) whose data has not been built yet gets
// the build tree's folder, where its data will be. Both relative paths are
// compile definitions set by CMake from the install layout.

#include <string>

class ResourceFolder {
 public:
  // The data folder of the running program, ending in "/". When neither
  // candidate exists, the installed one, so a message can name where the data
  // was expected.
  static std::string Path();
  // The same for an executable at `executable` (an absolute path).
  static std::string PathFor(const std::string& executable);
  // The running program's own path (/proc/self/exe); empty when unreadable.
  static std::string ExecutablePath();
  // How a user gets the data into `folder` (a result of PathFor): the build
  // command for a build tree's folder, else reinstalling.
  static std::string HowToFill(const std::string& folder);
};
