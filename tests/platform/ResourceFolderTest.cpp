#include "platform/ResourceFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

TEST(ResourceFolder, FoundBesideTheExecutable) {
  const struct {
    const char* what;
    std::vector<std::string> folders;
    const char* executable;
    const char* found;
  } rows[] = {
      {"installed; the installed folder wins",
       {"usr/bin", "usr/share/wingdrift", "usr/data"},
       "usr/bin/wingdrift",
       "usr/share/wingdrift/"},
      {"the build tree", {"build/host", "build/data"}, "build/host/wingdrift", "build/data/"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    for (const std::string& folder : row.folders) fs::create_directories(dir.File(folder));
    EXPECT_EQ(ResourceFolder::PathFor(dir.File(row.executable)), dir.File(row.found));
  }
  TempDir dir;
  fs::create_directories(dir.File("build/host"));
  dir.Write("build/CMakeCache.txt", "");
  const std::string folder = ResourceFolder::PathFor(dir.File("build/host/wingdrift"));
  EXPECT_EQ(folder, dir.File("build/data/")) << "a build tree whose data is not built yet";
  EXPECT_EQ(ResourceFolder::HowToFill(folder),
            "build it with: cmake --build " + dir.File("build") + " --target wingdrift_content");
  // Neither (a file where the shared folder would be): the installed place,
  // for the message that names it.
  fs::create_directories(dir.File("opt/bin"));
  dir.Write("opt/share", "a file, not a folder");
  EXPECT_EQ(ResourceFolder::PathFor(dir.File("opt/bin/wingdrift")),
            dir.File("opt/share/wingdrift/"));
  EXPECT_EQ(ResourceFolder::HowToFill(dir.File("opt/share/wingdrift/")), "reinstall wingdrift");
}
