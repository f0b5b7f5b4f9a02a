#include "platform/ResourceFolder.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/TempDir.h"

TEST(ResourceFolder, FoundBesideTheExecutableAndHowToFillIt) {
  // Folders (ending in "/") and files made, the executable, the folder
  // found. The installed folder wins; a build tree whose data is not built
  // yet names its data folder; neither (a file where the shared folder would
  // be) names the installed place, for the message.
  const struct {
    std::vector<std::string> made;
    const char *executable, *found;
  } rows[] = {
      {{"usr/bin/", "usr/share/wingdrift/", "usr/data/"}, "usr/bin/wingdrift",
       "usr/share/wingdrift/"},
      {{"build/host/", "build/data/"}, "build/host/wingdrift", "build/data/"},
      {{"build/host/", "build/CMakeCache.txt"}, "build/host/wingdrift", "build/data/"},
      {{"opt/bin/", "opt/share"}, "opt/bin/wingdrift", "opt/share/wingdrift/"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.executable);
    TempDir dir;
    for (const std::string& made : row.made)  // a folder holding a file, or the file
      dir.Write(made.back() == '/' ? made + "file" : made, "");
    EXPECT_EQ(ResourceFolder::PathFor(dir.File(row.executable)), dir.File(row.found));
  }
  TempDir dir;
  dir.Write("build/CMakeCache.txt", "");
  EXPECT_EQ(ResourceFolder::HowToFill(dir.File("build/data/")),
            "build it with: cmake --build " + dir.File("build") + " --target wingdrift_content");
}
