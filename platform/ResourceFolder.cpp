#include "platform/ResourceFolder.h"

#include <filesystem>
#include <initializer_list>
#include <system_error>

#ifndef WINGDRIFT_INSTALLED_DATA_DIR
#define WINGDRIFT_INSTALLED_DATA_DIR "../share/wingdrift"
#endif
#ifndef WINGDRIFT_BUILD_DATA_DIR
#define WINGDRIFT_BUILD_DATA_DIR "../data"
#endif

namespace {

namespace fs = std::filesystem;

std::string WithSlash(const fs::path& p) {
  std::string s = p.string();
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

}  // namespace

std::string ResourceFolder::ExecutablePath() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

std::string ResourceFolder::Path() { return PathFor(ExecutablePath()); }

std::string ResourceFolder::PathFor(const std::string& executable) {
  const fs::path dir = fs::path(executable).parent_path();
  const fs::path installed = (dir / WINGDRIFT_INSTALLED_DATA_DIR).lexically_normal();
  const fs::path built = (dir / WINGDRIFT_BUILD_DATA_DIR).lexically_normal();
  for (const fs::path& candidate : {installed, built}) {
    std::error_code ec;
    if (fs::is_directory(candidate, ec)) return WithSlash(candidate);
  }
  std::error_code ec;
  if (fs::is_regular_file(built.parent_path() / "CMakeCache.txt", ec)) return WithSlash(built);
  return WithSlash(installed);
}

std::string ResourceFolder::HowToFill(const std::string& folder) {
  const fs::path tree = fs::path(folder).parent_path().parent_path();
  std::error_code ec;
  if (fs::is_regular_file(tree / "CMakeCache.txt", ec)) {
    return "build it with: cmake --build " + tree.string() + " --target wingdrift_content";
  }
  return "reinstall wingdrift";
}
