#include "platform/ResourceFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

TEST(ResourceFolder, FoundBesideTheExecutable) {
  {  // installed: <prefix>/bin beside <prefix>/share/wingdrift
    TempDir dir;
    fs::create_directories(dir.File("usr/bin"));
    fs::create_directories(dir.File("usr/share/wingdrift"));
    fs::create_directories(dir.File("usr/data"));  // the installed folder wins
    EXPECT_EQ(ResourceFolder::PathFor(dir.File("usr/bin/wingdrift")),
              dir.File("usr/share/wingdrift/"));
  }
  {  // the build tree: <build>/host/wingdrift and <build>/data
    TempDir dir;
    fs::create_directories(dir.File("build/host"));
    fs::create_directories(dir.File("build/data"));
    EXPECT_EQ(ResourceFolder::PathFor(dir.File("build/host/wingdrift")), dir.File("build/data/"));
  }
  {  // a build tree whose data is not built yet: its folder, and how to build it
    TempDir dir;
    fs::create_directories(dir.File("build/host"));
    dir.Write("build/CMakeCache.txt", "");
    const std::string folder = ResourceFolder::PathFor(dir.File("build/host/wingdrift"));
    EXPECT_EQ(folder, dir.File("build/data/"));
    EXPECT_EQ(ResourceFolder::HowToFill(folder),
              "build it with: cmake --build " + dir.File("build") + " --target wingdrift_content");
  }
  {  // neither: the installed place, for the message that names it
    TempDir dir;
    fs::create_directories(dir.File("opt/bin"));
    dir.Write("opt/share", "a file, not a folder");
    EXPECT_EQ(ResourceFolder::PathFor(dir.File("opt/bin/wingdrift")),
              dir.File("opt/share/wingdrift/"));
    EXPECT_EQ(ResourceFolder::HowToFill(dir.File("opt/share/wingdrift/")), "reinstall wingdrift");
  }
  {  // the running program
    const std::string exe = ResourceFolder::ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(fs::is_regular_file(exe)) << exe;
    const std::string path = ResourceFolder::Path();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), '/');
  }
}
