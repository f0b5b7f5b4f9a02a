#include "platform/ScreenSaverDefaults.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <plist/plist.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/CrashSettings.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Plist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

// Files in `folder` whose names start with `prefix`.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) found.push_back(entry.path().string());
  }
  return found;
}

}  // namespace

TEST(ScreenSaverDefaults, PathFollowsTheUsersConfigFolder) {
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/some/config/");
    EXPECT_EQ(ScreenSaverDefaults::PathForModule("qvWingdrift"), "/some/config/wingdrift/qvWingdrift.plist");
  }
  ScopedEnv home("HOME", "/home/someone");
  for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/config"}) {
    ScopedEnv unset("XDG_CONFIG_HOME", xdg);
    EXPECT_EQ(ScreenSaverDefaults::PathForModule("qvWingdrift"), "/home/someone/.config/wingdrift/qvWingdrift.plist")
        << (xdg ? xdg : "(unset)");
  }
}

TEST(ScreenSaverDefaults, SavesAndReadsBackEveryKind) {
  // Folder names are bytes, not necessarily UTF-8, and may hold XML's specials.
  constexpr const char* kOddPath = "/home/\xff\xfe <&> \"x\"/";
  TempDir dir;
  ScopedEnv xdg("XDG_CONFIG_HOME", (dir.path() + "/deep/config").c_str());
  const std::string path = dir.path() + "/deep/config/wingdrift/qvTest.plist";
  {
    ScreenSaverDefaults store("qvTest");
    EXPECT_EQ(store.path(), path);
    // An unchanged store writes nothing.
    EXPECT_TRUE(store.synchronize());
    EXPECT_FALSE(fs::exists(path));

    store.setObject("/library/Desktop Pictures/", "BGPath");
    store.setObject(kOddPath, "OddPath");
    store.setObject("gone", "Removed");
    store.setObject(nullptr, "Removed");
    store.setBool(true, "WantShadow");
    store.setInteger(-7, "Negative");
    store.setInteger(std::numeric_limits<int64_t>::max(), "Largest");
    store.setInteger(std::numeric_limits<int64_t>::min(), "Smallest");
    EXPECT_TRUE(store.synchronize());
  }
  EXPECT_EQ(ReadFile(path).rfind("<?xml", 0), 0u) << "an XML property list";
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::others_read, fs::perms::none);

  ScreenSaverDefaults store("qvTest");
  EXPECT_TRUE(store.damagedCopy().empty());
  EXPECT_EQ(store.stringForKey("BGPath"), "/library/Desktop Pictures/");
  EXPECT_EQ(store.stringForKey("OddPath"), kOddPath);
  EXPECT_TRUE(store.boolForKey("WantShadow"));
  EXPECT_EQ(store.integerForKey("Negative"), -7);
  EXPECT_EQ(store.integerForKey("Largest"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(store.integerForKey("Smallest"), std::numeric_limits<int64_t>::min());
  // Absent keys.
  EXPECT_EQ(store.stringForKey("Removed"), std::nullopt);
  EXPECT_EQ(store.stringForKey("Nothing"), std::nullopt);
  EXPECT_FALSE(store.boolForKey("Nothing"));
  EXPECT_EQ(store.integerForKey("Nothing"), 0);
  // No temporary files are left behind.
  EXPECT_EQ(FilesStartingWith(fs::path(path).parent_path(), "qvTest.plist.tmp-").size(), 0u);
}

TEST(ScreenSaverDefaults, ConvertsBetweenKindsAsTheDefaultsDo) {
  TempDir dir;
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().c_str());
  fs::create_directories(dir.path() + "/wingdrift");
  dir.Write("wingdrift/qvTest.plist",
            Plist("<dict>"
                  "<key>IntText</key><string>42</string>"
                  "<key>Padded</key><string>  -12abc</string>"
                  "<key>Huge</key><string>99999999999999999999999</string>"
                  "<key>Yes</key><string>YES</string>"
                  "<key>True</key><string>true</string>"
                  "<key>No</key><string>no</string>"
                  "<key>Zeros</key><string>0007</string>"
                  "<key>Int</key><integer>7</integer>"
                  "<key>Zero</key><integer>0</integer>"
                  "<key>Real</key><real>1.1</real>"
                  "<key>BigReal</key><real>1e300</real>"
                  "<key>BoolTrue</key><true/>"
                  "<key>Data</key><data>AAEC</data>"
                  "<key>Array</key><array><string>1</string></array>"
                  "</dict>"));
  ScreenSaverDefaults store("qvTest");
  EXPECT_TRUE(store.damagedCopy().empty());

  EXPECT_EQ(store.integerForKey("IntText"), 42);
  EXPECT_EQ(store.integerForKey("Padded"), -12);
  EXPECT_EQ(store.integerForKey("Huge"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(store.integerForKey("Yes"), 0);
  EXPECT_EQ(store.integerForKey("Real"), 1);
  EXPECT_EQ(store.integerForKey("BigReal"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(store.integerForKey("BoolTrue"), 1);

  EXPECT_EQ(store.stringForKey("Int"), "7");
  EXPECT_EQ(store.stringForKey("Real"), "1.1");
  EXPECT_EQ(store.stringForKey("BoolTrue"), "1");

  EXPECT_TRUE(store.boolForKey("Yes"));
  EXPECT_TRUE(store.boolForKey("True"));
  EXPECT_TRUE(store.boolForKey("IntText"));
  EXPECT_TRUE(store.boolForKey("Zeros"));
  EXPECT_FALSE(store.boolForKey("No"));
  EXPECT_TRUE(store.boolForKey("Int"));
  EXPECT_FALSE(store.boolForKey("Zero"));

  // Kinds the defaults do not convert read as absent.
  for (const char* key : {"Data", "Array"}) {
    EXPECT_EQ(store.stringForKey(key), std::nullopt) << key;
    EXPECT_FALSE(store.boolForKey(key)) << key;
    EXPECT_EQ(store.integerForKey(key), 0) << key;
  }
}

TEST(ScreenSaverDefaults, ReadsABinaryPropertyList) {
  TempDir dir;
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().c_str());
  fs::create_directories(dir.path() + "/wingdrift");
  plist_t dict = plist_new_dict();
  plist_dict_set_item(dict, "MaxBFly", plist_new_uint(9));
  char* bin = nullptr;
  uint32_t length = 0;
  plist_to_bin(dict, &bin, &length);
  dir.Write("wingdrift/qvTest.plist", std::string(bin, length));
  plist_to_bin_free(bin);
  plist_free(dict);

  ScreenSaverDefaults store("qvTest");
  EXPECT_EQ(store.integerForKey("MaxBFly"), 9);
}

TEST(ScreenSaverDefaults, KeepsAnUnreadableFileAsideAndStartsEmpty) {
  TempDir dir;
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().c_str());
  const std::string folder = dir.path() + "/wingdrift";
  const std::string path = folder + "/qvTest.plist";
  fs::create_directories(folder);

  const std::string first = Plist("<dict><key>MaxBFly</key><integer>3</integer>");  // cut short
  const std::string second = Plist("<array><string>not a dictionary</string></array>");
  std::vector<std::string> copies;
  for (const std::string& damaged : {first, second, std::string()}) {
    dir.Write("wingdrift/qvTest.plist", damaged);
    ScreenSaverDefaults store("qvTest");
    EXPECT_EQ(store.integerForKey("MaxBFly"), 0);
    ASSERT_FALSE(store.damagedCopy().empty());
    EXPECT_EQ(ReadFile(store.damagedCopy()), damaged);
    copies.push_back(store.damagedCopy());

    // A fresh store is saved in its place.
    store.setInteger(5, "MaxBFly");
    EXPECT_TRUE(store.synchronize());
    ScreenSaverDefaults reread("qvTest");
    EXPECT_EQ(reread.integerForKey("MaxBFly"), 5);
    EXPECT_TRUE(reread.damagedCopy().empty());
  }
  // Each damaged file has its own copy; none replaced an earlier one.
  EXPECT_NE(copies[0], copies[1]);
  EXPECT_NE(copies[1], copies[2]);
  EXPECT_EQ(ReadFile(copies[0]), first);
  EXPECT_EQ(ReadFile(copies[1]), second);
  EXPECT_EQ(FilesStartingWith(folder, "qvTest.plist.damaged-").size(), 3u);

  // Something that is not a file at all is moved aside too.
  fs::remove(path);
  fs::create_directory(path);
  ScreenSaverDefaults store("qvTest");
  EXPECT_FALSE(store.damagedCopy().empty());
  store.setBool(true, "WantShadow");
  EXPECT_TRUE(store.synchronize());
  EXPECT_TRUE(fs::is_regular_file(path));
}

TEST(ScreenSaverDefaults, ReportsASaveThatCannotHappen) {
  TempDir dir;
  // The config folder is a file, so the store's folder cannot be made.
  dir.Write("config", "x");
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.File("config").c_str());
  ScreenSaverDefaults store("qvTest");
  store.setInteger(1, "MaxBFly");
  EXPECT_FALSE(store.synchronize());
  EXPECT_EQ(store.integerForKey("MaxBFly"), 1);
}

TEST(ScreenSaverDefaults, RemovesOnlyStaleTemporaryFiles) {
  TempDir dir;
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().c_str());
  fs::create_directories(dir.path() + "/wingdrift");
  const std::string stale = dir.Write("wingdrift/qvTest.plist.tmp-AAAAAA", "old");
  const std::string young = dir.Write("wingdrift/qvTest.plist.tmp-BBBBBB", "new");
  const std::string other = dir.Write("wingdrift/qvOther.plist.tmp-CCCCCC", "other");
  const timespec twoHoursAgo[2] = {{time(nullptr) - 7200, 0}, {time(nullptr) - 7200, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, stale.c_str(), twoHoursAgo, 0), 0);
  ASSERT_EQ(utimensat(AT_FDCWD, other.c_str(), twoHoursAgo, 0), 0);

  ScreenSaverDefaults store("qvTest");
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(young));
  EXPECT_TRUE(fs::exists(other));
}

// A writer killed at any moment leaves the old or the new settings, whole.
TEST(ScreenSaverDefaults, SurvivesTheWriterBeingKilledAtAnyMoment) {
  TempDir dir;
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().c_str());
  {
    ScreenSaverDefaults store(kCrashModule);
    ApplyCrashSettings(store, kCrashA);
    ASSERT_TRUE(store.synchronize());
  }
  const std::string folder = dir.path() + "/wingdrift";

  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> delayMicroseconds(0, 6000);
  constexpr int kKills = 200;
  int sawA = 0, sawB = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    char program[] = SETTINGS_STORE_WRITER;
    char* argv[] = {program, nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    ASSERT_EQ(spawned, 0) << program;

    // Wait for the writer's first save, then kill it somewhere in its loop.
    pollfd ready{pipeFds[0], POLLIN, 0};
    const bool started = poll(&ready, 1, 20000) == 1;
    char byte = 0;
    const bool saved = started && read(pipeFds[0], &byte, 1) == 1;
    close(pipeFds[0]);
    if (saved) std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(saved) << "the writer never saved (exit status " << status << ")";
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: status " << status;

    ScreenSaverDefaults store(kCrashModule);
    ASSERT_TRUE(store.damagedCopy().empty()) << "kill " << kill << " left a damaged store";
    const bool isA = HoldsCrashSettings(store, kCrashA), isB = HoldsCrashSettings(store, kCrashB);
    ASSERT_TRUE(isA || isB) << "kill " << kill << " left a mixture";
    sawA += isA;
    sawB += isB;
  }
  // Both states were seen, so kills did land inside and between saves.
  EXPECT_GT(sawA, 0);
  EXPECT_GT(sawB, 0);
  RecordProperty("FinalA", sawA);
  RecordProperty("FinalB", sawB);
  RecordProperty("TemporariesLeft",
                 static_cast<int>(FilesStartingWith(folder, std::string(kCrashModule) + ".plist.tmp-").size()));
}
