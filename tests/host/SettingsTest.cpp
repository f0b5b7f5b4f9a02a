#include "host/Settings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "platform/ScreenSaverDefaults.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "util/CString.h"
#include "util/Notice.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kResources = "/opt/wingdrift/resources/";
// The user's butterfly folder under XDG_DATA_HOME; not created by loading.
constexpr const char* kUserTypes = "/xdg/data/wingdrift/butterflies";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A record none of whose values is a default.
SETTINGS Scribbled() {
  SETTINGS s;
  s.LBFLYSIZE = s.LFLYSPEED = s.MAX_BFLY = s.MIXBFLY = s.BGTYPE = s.BGRES = 99;
  s.WANTSHADOW = false;
  CopyCString(s.BGPath, "x");
  CopyCString(s.BFlyPath2, "x");
  return s;
}

// A store in its own temporary config folder.
class SettingsStoreTest : public ::testing::Test {
 protected:
  std::string StorePath() const { return ScreenSaverDefaults::PathForModule(kSettingsModuleName); }
  // The first-run picture folder: the home's pictures folder.
  std::string Pictures() const { return dir_.path() + "/Pictures/"; }
  // What loading says about the store, before its line.
  std::string Said(const std::string& what) const {
    return "wingdrift: settings \"" + StorePath() + "\": " + what + "\n";
  }

  // Loads the store into s_ and mainOnly_; returns what it said on standard
  // error.
  std::string Load(ScreenSaverDefaults& store) {
    ForgetNotices();
    testing::internal::CaptureStderr();
    saved_ = LoadSettings(&s_, &mainOnly_, kResources, store);
    return testing::internal::GetCapturedStderr();
  }
  std::string Load() {
    ScreenSaverDefaults store(kSettingsModuleName);
    return Load(store);
  }

  // A fresh store of the current version, then `edit` on it.
  void StoreCurrent(const std::function<void(ScreenSaverDefaults&)>& edit) {
    fs::remove(StorePath());
    ScreenSaverDefaults store(kSettingsModuleName);
    SETTINGS s;
    bool mainOnly = false;
    LoadSettings(&s, &mainOnly, kResources, store);
    edit(store);
    ASSERT_TRUE(store.synchronize());
  }

  void ExpectFirstRunRecord() {
    EXPECT_EQ(std::vector<int64_t>({mainOnly_, s_.LBFLYSIZE, s_.LFLYSPEED, s_.MAX_BFLY, s_.MIXBFLY, s_.WANTSHADOW,
                                    s_.BGTYPE, s_.BGRES}),
              std::vector<int64_t>({false, 70, 75, 8, 0, true, 0, 1}));
    EXPECT_EQ(std::string(s_.BGPath), Pictures());
    EXPECT_STREQ(s_.BFlyPath, kResources);
    EXPECT_STREQ(s_.BFlyPath2, kUserTypes);
  }
  void ExpectFirstRunStore() {
    ScreenSaverDefaults store(kSettingsModuleName);
    EXPECT_EQ(store.stringForKey("version"), "1.1");
    EXPECT_EQ(store.stringForKey("SelectedBFly"), "GOT-F.bfly");
    EXPECT_EQ(store.stringForKey("BGPath"), Pictures());
    std::vector<int64_t> stored;
    for (const char* key : {"BFlySize", "FlySpeed", "MaxBFly", "MixBFly", "BGType", "BGRes"}) {
      stored.push_back(store.integerForKey(key));
    }
    stored.push_back(store.boolForKey("MainMonitorOnly"));
    stored.push_back(store.boolForKey("WantShadow"));
    EXPECT_EQ(stored, std::vector<int64_t>({70, 75, 8, 0, 0, 1, false, true}));
  }

  TempDir dir_;
  ScopedEnv xdg_{"XDG_CONFIG_HOME", dir_.path().c_str()};
  ScopedEnv home_{"HOME", dir_.path().c_str()};
  ScopedEnv data_{"XDG_DATA_HOME", "/xdg/data"};
  SETTINGS s_ = Scribbled();
  bool mainOnly_ = true;
  bool saved_ = false;
};

}  // namespace

TEST_F(SettingsStoreTest, FirstRunWritesTheDefaultsButKeepsTheSelectedTypeEmpty) {
  EXPECT_EQ(Load(), "") << "a first run is no news";
  EXPECT_TRUE(saved_);
  ExpectFirstRunRecord();
  EXPECT_STREQ(s_.SelectedBFlyName, "") << "the flock falls back to the first type it finds";
  ExpectFirstRunStore();

  // A selected name already in the record stays when the store has none.
  fs::remove(StorePath());
  CopyCString(s_.SelectedBFlyName, "Mine.bfly");
  Load();
  EXPECT_STREQ(s_.SelectedBFlyName, "Mine.bfly");
}

TEST_F(SettingsStoreTest, AnotherVersionIsAFirstRunThatKeepsTheOldStoreAside) {
  for (const char* version : {"1.0", "1.10", ""}) {
    StoreCurrent([&](ScreenSaverDefaults& store) {
      store.setObject(version, "version");
      store.setBool(true, "MainMonitorOnly");
      store.setObject("Chosen.bfly", "SelectedBFly");
      store.setInteger(150, "BFlySize");
      store.setBool(false, "WantShadow");
      store.setObject("/home/me/pictures", "BGPath");
    });
    const std::string old = ReadAll(StorePath());
    s_ = Scribbled();
    const std::string said = Load();
    EXPECT_TRUE(saved_);
    ExpectFirstRunRecord();
    // The record keeps the name it read; only the store gets the default.
    EXPECT_STREQ(s_.SelectedBFlyName, "Chosen.bfly");
    ExpectFirstRunStore();

    // The user's edits are kept, and the line says where.
    const std::string prefix = "wingdrift: settings \"" + StorePath() + "\": version \"" + version +
                               "\" is not \"1.1\"; kept the old settings as \"";
    ASSERT_EQ(said.rfind(prefix, 0), 0u) << said;
    const std::string copy = said.substr(prefix.size(), said.find('"', prefix.size()) - prefix.size());
    EXPECT_EQ(ReadAll(copy), old);
    EXPECT_EQ(said.substr(prefix.size() + copy.size()), "\" and wrote the defaults\n");
  }
}

TEST_F(SettingsStoreTest, CurrentVersionIsReadAsStoredAndLeftUntouched) {
  StoreCurrent([](ScreenSaverDefaults& store) {
    store.setBool(true, "MainMonitorOnly");
    store.setObject("Chosen.bfly", "SelectedBFly");
    store.setInteger(150, "BFlySize");
    store.setObject("40", "FlySpeed");  // a number stored as text
    store.setInteger(25, "MaxBFly");
    store.setInteger(-3, "MixBFly");
    store.setBool(false, "WantShadow");
    store.setInteger(2, "BGType");
    store.setObject(std::string(2000, 'p').c_str(), "BGPath");
    store.setInteger(5000000000, "BGRes");  // beyond 32 bits
  });
  const std::string before = ReadAll(StorePath());
  EXPECT_EQ(Load(), Said("\"MaxBFly\" is 25, outside 0 to 10; using 10"));
  EXPECT_TRUE(mainOnly_);
  EXPECT_STREQ(s_.SelectedBFlyName, "Chosen.bfly");
  EXPECT_EQ(s_.LBFLYSIZE, 150);
  EXPECT_EQ(s_.LFLYSPEED, 40);
  EXPECT_EQ(s_.MAX_BFLY, 10) << "at most ten butterflies";
  EXPECT_EQ(s_.MIXBFLY, -3);
  EXPECT_FALSE(s_.WANTSHADOW);
  EXPECT_EQ(s_.BGTYPE, 2);
  EXPECT_EQ(std::string(s_.BGPath), std::string(1023, 'p')) << "cut to fit";
  EXPECT_EQ(s_.BGRES, INT32_MAX) << "clamped, not wrapped";
  EXPECT_EQ(ReadAll(StorePath()), before) << "a current store is not rewritten";
}

TEST_F(SettingsStoreTest, MissingUnknownWrongAndOutOfRangeKeysAreToldAndReadSafely) {
  struct Case {
    const char* key;
    std::function<void(ScreenSaverDefaults&)> edit;  // null: the key removed
    std::function<void(const SETTINGS&)> expect;
    std::string said;  // after 'settings "<path>": '; empty: nothing
  };
  const std::string pictures = Pictures();
  const Case cases[] = {
      // Without "MaxBFly" no butterfly would fly: a missing key is its default.
      {"MaxBFly", nullptr, [](const SETTINGS& s) { EXPECT_EQ(s.MAX_BFLY, 8); },
       "\"MaxBFly\" is missing; using the default 8"},
      {"BFlySize", nullptr, [](const SETTINGS& s) { EXPECT_EQ(s.LBFLYSIZE, 70); },
       "\"BFlySize\" is missing; using the default 70"},
      {"WantShadow", nullptr, [](const SETTINGS& s) { EXPECT_TRUE(s.WANTSHADOW); },
       "\"WantShadow\" is missing; using the default true"},
      {"FlySpeed", [](ScreenSaverDefaults& d) { d.setObject("fast", "FlySpeed"); },
       [](const SETTINGS& s) { EXPECT_EQ(s.LFLYSPEED, 75); }, "\"FlySpeed\" is not a number; using the default 75"},
      {"BGPath", [](ScreenSaverDefaults& d) { d.setInteger(5, "BGPath"); },
       [&](const SETTINGS& s) { EXPECT_EQ(std::string(s.BGPath), pictures); },
       "\"BGPath\" is not text; using the default \"" + pictures + "\""},
      {"MaxBFly", [](ScreenSaverDefaults& d) { d.setInteger(-4, "MaxBFly"); },
       [](const SETTINGS& s) { EXPECT_EQ(s.MAX_BFLY, 0); }, "\"MaxBFly\" is -4, outside 0 to 10; using 0"},
      // Sizes the type scaling cannot take (200 % divides by zero) and
      // speeds at which no butterfly is ever on screen.
      {"BFlySize", [](ScreenSaverDefaults& d) { d.setInteger(200, "BFlySize"); },
       [](const SETTINGS& s) { EXPECT_EQ(s.LBFLYSIZE, 190); }, "\"BFlySize\" is 200, outside 10 to 190; using 190"},
      {"FlySpeed", [](ScreenSaverDefaults& d) { d.setInteger(10000, "FlySpeed"); },
       [](const SETTINGS& s) { EXPECT_EQ(s.LFLYSPEED, 400); }, "\"FlySpeed\" is 10000, outside 0 to 400; using 400"},
      {"BGType", [](ScreenSaverDefaults& d) { d.setInteger(7, "BGType"); },
       [](const SETTINGS& s) { EXPECT_EQ(s.BGTYPE, 0); }, "\"BGType\" is 7, outside 0 to 2; using 0"},
      {"MaxBfly", [](ScreenSaverDefaults& d) { d.setInteger(3, "MaxBfly"); },
       [](const SETTINGS& s) { EXPECT_EQ(s.MAX_BFLY, 8); }, "unknown key \"MaxBfly\" ignored"},
      // The macOS folder of earlier stores is the user's pictures folder;
      // "~/" is the home folder; anything else is taken as it is.
      {"BGPath", [](ScreenSaverDefaults& d) { d.setObject("/library/Desktop Pictures/", "BGPath"); },
       [&](const SETTINGS& s) { EXPECT_EQ(std::string(s.BGPath), pictures); }, ""},
      {"BGPath", [](ScreenSaverDefaults& d) { d.setObject("~/Photos/", "BGPath"); },
       [&](const SETTINGS& s) { EXPECT_EQ(std::string(s.BGPath), dir_.path() + "/Photos/"); }, ""},
      {"BGPath", [](ScreenSaverDefaults& d) { d.setObject("/srv/pictures", "BGPath"); },
       [](const SETTINGS& s) { EXPECT_STREQ(s.BGPath, "/srv/pictures"); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key + (": " + c.said));
    StoreCurrent([&](ScreenSaverDefaults& store) {
      if (c.edit) {
        c.edit(store);
      } else {
        store.setObject(nullptr, c.key);
      }
    });
    EXPECT_EQ(Load(), c.said.empty() ? "" : Said(c.said));
    c.expect(s_);
  }
}

TEST_F(SettingsStoreTest, SaveWritesEveryKeyButVersionAndTheRuntimeFields) {
  SETTINGS s;
  s.WANTSHADOW = true;
  s.LBFLYSIZE = 120;
  s.LFLYSPEED = 90;
  s.MIXBFLY = 1;
  s.MAX_BFLY = 4;
  s.BGTYPE = 2;
  CopyCString(s.BGPath, "/home/me/pictures/");
  s.BGRES = 2;
  s.SelectedBFly = 6;
  CopyCString(s.BFlyPath, "/resource/folder/");
  CopyCString(s.BFlyPath2, "/data/folder/");
  CopyCString(s.SelectedBFlyName, "Blue.bfly");
  {
    ScreenSaverDefaults store(kSettingsModuleName);
    store.setObject("1.1", "version");
    EXPECT_TRUE(SaveSettings(s, true, store));
  }
  const std::string text = ReadAll(StorePath());
  for (const char* never : {"/resource/folder/", "/data/folder/", "BFlyPath", "<integer>6</integer>"})
    EXPECT_EQ(text.find(never), std::string::npos) << never;
  size_t keys = 0;
  for (size_t at = text.find("<key>"); at != std::string::npos; at = text.find("<key>", at + 1)) ++keys;
  EXPECT_EQ(keys, 11u) << "version and the ten saved keys";

  EXPECT_EQ(Load(), "");
  EXPECT_TRUE(mainOnly_);
  EXPECT_EQ(std::vector<int64_t>({s_.WANTSHADOW, s_.LBFLYSIZE, s_.LFLYSPEED, s_.MIXBFLY, s_.MAX_BFLY, s_.BGTYPE,
                              s_.BGRES}),
            std::vector<int64_t>({1, 120, 90, 1, 4, 2, 2}));
  EXPECT_STREQ(s_.BGPath, "/home/me/pictures/");
  EXPECT_STREQ(s_.SelectedBFlyName, "Blue.bfly");
  EXPECT_STREQ(s_.BFlyPath, kResources);
  EXPECT_STREQ(s_.BFlyPath2, kUserTypes);

  // Saving never writes the version: a store saved from scratch still loads
  // as a first run.
  fs::remove(StorePath());
  ScreenSaverDefaults fresh(kSettingsModuleName);
  EXPECT_TRUE(SaveSettings(s, false, fresh));
  EXPECT_EQ(fresh.stringForKey("version"), std::nullopt);
}

TEST_F(SettingsStoreTest, FirstRunThatCannotBeSavedStillFillsTheRecord) {
  TempDir other;
  other.Write("config", "a file where the folder should be");
  ScopedEnv xdg("XDG_CONFIG_HOME", other.File("config").c_str());
  EXPECT_EQ(Load(), Said("cannot save the defaults (Not a directory); using them without saving"));
  EXPECT_FALSE(saved_);
  ExpectFirstRunRecord();
}

TEST_F(SettingsStoreTest, AnUnreadableStoreIsMovedAsideAndNamed) {
  // A FIFO in the store's place (it would block the open for good) and a
  // damaged file both count as unreadable.
  for (const bool fifo : {true, false}) {
    fs::create_directories(fs::path(StorePath()).parent_path());
    if (fifo) {
      ASSERT_EQ(mkfifo(StorePath().c_str(), 0600), 0);
    } else {
      std::ofstream(StorePath()) << "<plist><dict><key>";
    }
    ScreenSaverDefaults store(kSettingsModuleName);
    ASSERT_FALSE(store.damagedCopy().empty());
    s_ = Scribbled();
    EXPECT_EQ(Load(store), Said("could not be read; kept it as \"" + store.damagedCopy() + "\" and wrote the defaults"));
    ExpectFirstRunRecord();
    EXPECT_EQ(fs::is_fifo(store.damagedCopy()), fifo);
    fs::remove(StorePath());
  }
}
