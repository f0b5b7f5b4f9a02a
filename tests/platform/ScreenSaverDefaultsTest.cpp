#include "platform/ScreenSaverDefaults.h"

#include <gtest/gtest.h>
#include <plist/plist.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ReadFile.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

std::string Plist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body +
         "\n</plist>\n";
}

long FilesIn(const std::string& folder) {
  return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

// The stores of this test live in a fresh config folder.
class StoreTest : public ::testing::Test {
 protected:
  void Put(const std::string& bytes) { dir_.Write("wingdrift/qvTest.plist", bytes); }

  TempDir dir_;
  ScopedEnv xdg_{"XDG_CONFIG_HOME", dir_.path().c_str()};
  const std::string folder_ = dir_.path() + "/wingdrift";
  const std::string path_ = folder_ + "/qvTest.plist";
};

}  // namespace

TEST(ScreenSaverDefaults, PathFollowsTheUsersConfigFolder) {
  ScopedEnv home("HOME", "/home/someone");
  const std::string inHome = "/home/someone/.config/wingdrift/qvWingdrift.plist";
  const std::pair<const char*, std::string> rows[] = {  // XDG_CONFIG_HOME, the path
      {"/some/config/", "/some/config/wingdrift/qvWingdrift.plist"},
      {nullptr, inHome}, {"", inHome}, {"relative/config", inHome}};
  for (const auto& [xdg, path] : rows) {
    ScopedEnv env("XDG_CONFIG_HOME", xdg);
    EXPECT_EQ(ScreenSaverDefaults::PathForModule("qvWingdrift"), path) << (xdg ? xdg : "unset");
  }
}

TEST_F(StoreTest, SavesAndReadsBackEveryKind) {
  // Folder names are bytes, not necessarily UTF-8, and may hold XML's specials.
  constexpr const char* kOddPath = "/home/\xff\xfe <&> \"x\"/";
  ScopedEnv deep("XDG_CONFIG_HOME", (dir_.path() + "/deep/config").c_str());
  const std::string path = dir_.path() + "/deep/config/wingdrift/qvTest.plist";
  {
    ScreenSaverDefaults store("qvTest");
    EXPECT_EQ(store.path(), path);
    EXPECT_TRUE(store.synchronize());
    EXPECT_FALSE(fs::exists(path)) << "an unchanged store writes nothing";
    store.setObject(kOddPath, "OddPath");
    store.setObject("gone", "Removed");
    store.setObject(nullptr, "Removed");
    store.setBool(true, "WantShadow");
    store.setInteger(-7, "Negative");
    store.setInteger(kMax, "Largest");
    store.setInteger(kMin, "Smallest");
    EXPECT_TRUE(store.synchronize());
  }
  EXPECT_EQ(ReadFile(path).rfind("<?xml", 0), 0u) << "an XML property list";
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::others_read, fs::perms::none);
  EXPECT_EQ(FilesIn(fs::path(path).parent_path()), 1) << "no temporary file is left";

  ScreenSaverDefaults store("qvTest");
  EXPECT_EQ(store.stringForKey("OddPath"), kOddPath);
  EXPECT_TRUE(store.boolForKey("WantShadow"));
  EXPECT_EQ(store.integerForKey("Negative"), -7);
  EXPECT_EQ(store.integerForKey("Largest"), kMax);
  EXPECT_EQ(store.integerForKey("Smallest"), kMin);
  EXPECT_EQ(store.stringForKey("Removed"), std::nullopt);
  EXPECT_FALSE(store.boolForKey("Nothing"));
  EXPECT_EQ(store.integerForKey("Nothing"), 0);
}

TEST_F(StoreTest, ConvertsBetweenKindsAsTheDefaultsDo) {
  const struct {
    const char* value;  // as the file holds it
    int64_t integer;
    bool truth;
    const char* text;  // nullptr: absent
  } rows[] = {
      {"<string>42</string>", 42, true, "42"},
      {"<string>  -12abc</string>", -12, true, "  -12abc"},
      {"<string>-</string>", 0, false, "-"},
      {"<string>99999999999999999999999</string>", kMax, true, "99999999999999999999999"},
      {"<string>-9223372036854775808</string>", kMin, true, "-9223372036854775808"},
      {"<string>-99999999999999999999999</string>", kMin, true, "-99999999999999999999999"},
      {"<string>YES</string>", 0, true, "YES"},
      {"<string>no</string>", 0, false, "no"},
      {"<string>0007</string>", 7, true, "0007"},
      {"<string>-000</string>", 0, false, "-000"},
      {"<integer>7</integer>", 7, true, "7"},
      {"<integer>0</integer>", 0, false, "0"},
      {"<real>1.1</real>", 1, true, "1.1"},
      {"<real>1e300</real>", kMax, true, "1e+300"},
      {"<real>-1e300</real>", kMin, true, "-1e+300"},
      {"<real>0</real>", 0, false, "0"},
      {"<true/>", 1, true, "1"},
      {"<false/>", 0, false, "0"},
      // Kinds the defaults do not convert read as absent.
      {"<data>AAEC</data>", 0, false, nullptr},
      {"<array><string>1</string></array>", 0, false, nullptr},
  };
  std::string dict = "<dict>";
  for (size_t i = 0; i < std::size(rows); ++i)
    dict += "<key>K" + std::to_string(i) + "</key>" + rows[i].value;
  Put(Plist(dict + "</dict>"));
  ScreenSaverDefaults store("qvTest");
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].value);
    const std::string key = "K" + std::to_string(i);
    EXPECT_EQ(store.integerForKey(key.c_str()), rows[i].integer);
    EXPECT_EQ(store.boolForKey(key.c_str()), rows[i].truth);
    const auto text = rows[i].text ? std::optional<std::string>(rows[i].text) : std::nullopt;
    EXPECT_EQ(store.stringForKey(key.c_str()), text);
  }
}

TEST_F(StoreTest, ReadsABinaryPropertyListAndKeepsACopyOfIt) {
  plist_t dict = plist_new_dict();
  plist_dict_set_item(dict, "MaxBFly", plist_new_uint(9));
  char* bin = nullptr;
  uint32_t length = 0;
  plist_to_bin(dict, &bin, &length);
  const std::string bytes(bin, length);
  plist_to_bin_free(bin);
  plist_free(dict);
  Put(bytes);

  ScreenSaverDefaults store("qvTest");
  EXPECT_EQ(store.integerForKey("MaxBFly"), 9);
  EXPECT_EQ(store.keys(), std::vector<std::string>{"MaxBFly"});
  // A copy of the bytes read, as kept before a store of another version is
  // rewritten; a second copy gets a name of its own.
  std::string first, second;
  ASSERT_TRUE(store.KeepCopy(&first));
  ASSERT_TRUE(store.KeepCopy(&second));
  EXPECT_NE(first, second);
  EXPECT_EQ(ReadFile(first), bytes);
  EXPECT_EQ(fs::status(first).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(StoreTest, KeepsAnUnreadableFileAsideAndStartsEmpty) {
  // Cut short, not a dictionary, empty: each kept in a copy of its own.
  for (const std::string& bytes :
       {Plist("<dict><key>MaxBFly</key><integer>3</integer>"),
        Plist("<array><string>not a dictionary</string></array>"), std::string()}) {
    Put(bytes);
    ScreenSaverDefaults store("qvTest");
    EXPECT_EQ(store.integerForKey("MaxBFly"), 0);
    ASSERT_FALSE(store.damagedCopy().empty());
    EXPECT_EQ(ReadFile(store.damagedCopy()), bytes);
  }
  EXPECT_EQ(FilesIn(folder_), 3);

  // Something that is not a file at all is moved aside too, and a fresh
  // store saved in its place.
  fs::remove(path_);
  fs::create_directory(path_);
  ScreenSaverDefaults store("qvTest");
  EXPECT_FALSE(store.damagedCopy().empty());
  store.setBool(true, "WantShadow");
  EXPECT_TRUE(store.synchronize());
  EXPECT_TRUE(fs::is_regular_file(path_));
}

TEST_F(StoreTest, RemovesOnlyStaleTemporaryFiles) {
  // Stale after an hour: a minute past it is removed, a minute before it not.
  const std::string stale = dir_.Write("wingdrift/qvTest.plist.tmp-AAAAAA", "old");
  const std::string young = dir_.Write("wingdrift/qvTest.plist.tmp-BBBBBB", "new");
  const std::string other = dir_.Write("wingdrift/qvOther.plist.tmp-CCCCCC", "other");
  for (const auto& [file, age] : {std::pair{stale, 3660}, {young, 3540}, {other, 7200}})
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::seconds(age));
  ScreenSaverDefaults store("qvTest");
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(young));
  EXPECT_TRUE(fs::exists(other));
}

// A writer killed at any moment leaves the old or the new settings, whole.
// Both keys differ between the two sets, so a mixture shows, and the long
// text makes a save span several pages.
TEST_F(StoreTest, SurvivesTheWriterBeingKilledAtAnyMoment) {
  const auto apply = [](ScreenSaverDefaults& store, char set) {
    store.setInteger(set, "Counter");
    store.setObject(std::string(20000, set).c_str(), "Text");
    return store.synchronize();
  };
  const auto holds = [](const ScreenSaverDefaults& store, char set) {
    return store.integerForKey("Counter") == set &&
           store.stringForKey("Text") == std::string(20000, set);
  };
  ScreenSaverDefaults first("qvTest");
  ASSERT_TRUE(apply(first, 'A'));
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> delayMicroseconds(0, 6000);
  int sawA = 0, sawB = 0;
  for (int kill = 0; kill < 200; ++kill) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // Saves the two sets alternately until killed; tells the test after
      // the first save, so that every kill lands inside the save loop.
      ScreenSaverDefaults store("qvTest");
      for (unsigned long i = 0; apply(store, i % 2 ? 'B' : 'A'); ++i)
        if (i == 0 && write(ready[1], "+", 1) != 1) break;
      _exit(1);
    }
    close(ready[1]);
    char byte = 0;
    const bool saved = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    if (saved) std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(saved && WIFSIGNALED(status)) << "the writer stopped by itself: " << status;

    ScreenSaverDefaults store("qvTest");
    ASSERT_TRUE(store.damagedCopy().empty()) << "kill " << kill << " left a damaged store";
    const bool isA = holds(store, 'A'), isB = holds(store, 'B');
    ASSERT_TRUE(isA || isB) << "kill " << kill << " left a mixture";
    sawA += isA;
    sawB += isB;
  }
  // Both states were seen, so kills did land inside and between saves.
  EXPECT_GT(sawA, 0);
  EXPECT_GT(sawB, 0);
}
