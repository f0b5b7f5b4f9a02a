#include "host/Settings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <utility>
#include <fstream>
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

// A store in its own temporary config folder.
class SettingsStoreTest : public ::testing::Test {
 protected:
  std::string StorePath() const { return ScreenSaverDefaults::PathForModule(kSettingsModuleName); }
  std::string StoredText() const {
    std::ifstream in(StorePath(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  // The first-run picture folder: the home's pictures folder.
  std::string Pictures() const { return dir_.path() + "/Pictures/"; }

  TempDir dir_;
  ScopedEnv xdg_{"XDG_CONFIG_HOME", dir_.path().c_str()};
  ScopedEnv home_{"HOME", dir_.path().c_str()};
  ScopedEnv data_{"XDG_DATA_HOME", "/xdg/data"};
};

// The user's butterfly folder under XDG_DATA_HOME; not created by loading.
constexpr const char* kUserTypes = "/xdg/data/wingdrift/butterflies";

// Loads the settings and returns what they said on standard error.
std::string LoadTelling(SETTINGS* s, bool* mainOnly, ScreenSaverDefaults& store, bool* saved = nullptr) {
  ForgetNotices();
  testing::internal::CaptureStderr();
  const bool ok = LoadSettings(s, mainOnly, kResources, store);
  if (saved != nullptr) *saved = ok;
  return testing::internal::GetCapturedStderr();
}

void ExpectFirstRunRecord(const SETTINGS& s, bool mainMonitorOnly, const std::string& pictures) {
  EXPECT_FALSE(mainMonitorOnly);
  EXPECT_EQ(s.LBFLYSIZE, 70);
  EXPECT_EQ(s.LFLYSPEED, 75);
  EXPECT_EQ(s.MAX_BFLY, 8);
  EXPECT_EQ(s.MIXBFLY, 0);
  EXPECT_TRUE(s.WANTSHADOW);
  EXPECT_EQ(s.BGTYPE, 0);
  EXPECT_EQ(std::string(s.BGPath), pictures);
  EXPECT_EQ(s.BGRES, 1);
}

void ExpectFirstRunStore(const ScreenSaverDefaults& store, const std::string& pictures) {
  EXPECT_EQ(store.stringForKey("version"), "1.1");
  EXPECT_FALSE(store.boolForKey("MainMonitorOnly"));
  EXPECT_EQ(store.stringForKey("SelectedBFly"), "GOT-F.bfly");
  EXPECT_EQ(store.integerForKey("BFlySize"), 70);
  EXPECT_EQ(store.integerForKey("FlySpeed"), 75);
  EXPECT_EQ(store.integerForKey("MaxBFly"), 8);
  EXPECT_EQ(store.integerForKey("MixBFly"), 0);
  EXPECT_TRUE(store.boolForKey("WantShadow"));
  EXPECT_EQ(store.integerForKey("BGType"), 0);
  EXPECT_EQ(store.stringForKey("BGPath"), pictures);
  EXPECT_EQ(store.integerForKey("BGRes"), 1);
}

}  // namespace

TEST_F(SettingsStoreTest, FirstRunWritesTheDefaultsButKeepsTheSelectedTypeEmpty) {
  {
    ScreenSaverDefaults store(kSettingsModuleName);
    SETTINGS s;
    s.BFlyPath2[0] = 'x';
    bool mainOnly = true;
    bool saved = false;
    EXPECT_EQ(LoadTelling(&s, &mainOnly, store, &saved), "") << "a first run is no news";
    EXPECT_TRUE(saved);
    ExpectFirstRunRecord(s, mainOnly, Pictures());
    EXPECT_STREQ(s.SelectedBFlyName, "") << "the flock falls back to the first type it finds";
    EXPECT_STREQ(s.BFlyPath, kResources);
    EXPECT_STREQ(s.BFlyPath2, kUserTypes);
  }
  // The defaults reached the disk.
  ScreenSaverDefaults reread(kSettingsModuleName);
  ExpectFirstRunStore(reread, Pictures());

  // A selected name already in the record stays when the store has none.
  fs::remove(StorePath());
  ScreenSaverDefaults empty(kSettingsModuleName);
  SETTINGS s;
  CopyCString(s.SelectedBFlyName, "Mine.bfly");
  bool mainOnly = false;
  LoadSettings(&s, &mainOnly, kResources, empty);
  EXPECT_STREQ(s.SelectedBFlyName, "Mine.bfly");
}

TEST_F(SettingsStoreTest, AnotherVersionIsAFirstRunThatKeepsTheOldStoreAside) {
  for (const char* version : {"1.0", "1.10", ""}) {
    {
      ScreenSaverDefaults store(kSettingsModuleName);
      store.setObject(version, "version");
      store.setBool(true, "MainMonitorOnly");
      store.setObject("Chosen.bfly", "SelectedBFly");
      store.setInteger(150, "BFlySize");
      store.setInteger(3, "MaxBFly");
      store.setBool(false, "WantShadow");
      store.setInteger(2, "BGType");
      store.setObject("/home/me/pictures", "BGPath");
      ASSERT_TRUE(store.synchronize());
    }
    const std::string old = StoredText();
    ScreenSaverDefaults store(kSettingsModuleName);
    SETTINGS s;
    bool mainOnly = true;
    bool saved = false;
    const std::string said = LoadTelling(&s, &mainOnly, store, &saved);
    EXPECT_TRUE(saved);
    ExpectFirstRunRecord(s, mainOnly, Pictures());
    // The record keeps the name it read; only the store gets the default.
    EXPECT_STREQ(s.SelectedBFlyName, "Chosen.bfly");
    ScreenSaverDefaults reread(kSettingsModuleName);
    ExpectFirstRunStore(reread, Pictures());

    // The user's edits are kept, and the line says where.
    const std::string prefix = "wingdrift: settings \"" + StorePath() + "\": version \"" +
                               version + "\" is not \"1.1\"; kept the old settings as \"";
    ASSERT_EQ(said.rfind(prefix, 0), 0u) << said;
    const std::string copy = said.substr(prefix.size(), said.find('"', prefix.size()) - prefix.size());
    std::ifstream in(copy, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), old);
    EXPECT_EQ(said.substr(prefix.size() + copy.size()), "\" and wrote the defaults\n");
  }
}

TEST_F(SettingsStoreTest, CurrentVersionIsReadAsStoredAndLeftUntouched) {
  {
    ScreenSaverDefaults store(kSettingsModuleName);
    store.setObject("1.1", "version");
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
    ASSERT_TRUE(store.synchronize());
  }
  const std::string before = StoredText();

  ScreenSaverDefaults store(kSettingsModuleName);
  SETTINGS s;
  bool mainOnly = false;
  const std::string said = LoadTelling(&s, &mainOnly, store);
  EXPECT_EQ(said, "wingdrift: settings \"" + StorePath() + "\": \"MaxBFly\" is 25, outside 0 to 10; using 10\n");
  EXPECT_TRUE(mainOnly);
  EXPECT_STREQ(s.SelectedBFlyName, "Chosen.bfly");
  EXPECT_EQ(s.LBFLYSIZE, 150);
  EXPECT_EQ(s.LFLYSPEED, 40);
  EXPECT_EQ(s.MAX_BFLY, 10) << "at most ten butterflies";
  EXPECT_EQ(s.MIXBFLY, -3);
  EXPECT_FALSE(s.WANTSHADOW);
  EXPECT_EQ(s.BGTYPE, 2);
  EXPECT_EQ(std::string(s.BGPath), std::string(1023, 'p')) << "cut to fit";
  EXPECT_EQ(s.BGRES, INT32_MAX) << "clamped, not wrapped";
  EXPECT_EQ(StoredText(), before) << "a current store is not rewritten";

}

TEST_F(SettingsStoreTest, MissingUnknownWrongAndOutOfRangeKeysAreToldAndReadSafely) {
  struct Case {
    const char* key;
    std::function<void(ScreenSaverDefaults&)> store;  // null: the key removed
    std::function<void(const SETTINGS&)> expect;
    const char* said;  // after 'settings "<path>": '
  };
  const Case cases[] = {
      // Without "MaxBFly" no butterfly would fly: a missing key is its default.
      {"MaxBFly", nullptr, [](const SETTINGS& s) { EXPECT_EQ(s.MAX_BFLY, 8); },
       "\"MaxBFly\" is missing; using the default 8"},
      {"BFlySize", nullptr, [](const SETTINGS& s) { EXPECT_EQ(s.LBFLYSIZE, 70); },
       "\"BFlySize\" is missing; using the default 70"},
      {"WantShadow", nullptr, [](const SETTINGS& s) { EXPECT_TRUE(s.WANTSHADOW); },
       "\"WantShadow\" is missing; using the default true"},
      {"FlySpeed", [](ScreenSaverDefaults& d) { d.setObject("fast", "FlySpeed"); },
       [](const SETTINGS& s) { EXPECT_EQ(s.LFLYSPEED, 75); },
       "\"FlySpeed\" is not a number; using the default 75"},
      {"BGPath", [](ScreenSaverDefaults& d) { d.setInteger(5, "BGPath"); }, nullptr, nullptr},
      {"MaxBFly", [](ScreenSaverDefaults& d) { d.setInteger(-4, "MaxBFly"); },
       [](const SETTINGS& s) { EXPECT_EQ(s.MAX_BFLY, 0); },
       "\"MaxBFly\" is -4, outside 0 to 10; using 0"},
      // Sizes the type scaling cannot take (200 % divides by zero) and
      // speeds at which no butterfly is ever on screen.
      {"BFlySize", [](ScreenSaverDefaults& d) { d.setInteger(200, "BFlySize"); },
       [](const SETTINGS& s) { EXPECT_EQ(s.LBFLYSIZE, 190); },
       "\"BFlySize\" is 200, outside 10 to 190; using 190"},
      {"FlySpeed", [](ScreenSaverDefaults& d) { d.setInteger(10000, "FlySpeed"); },
       [](const SETTINGS& s) { EXPECT_EQ(s.LFLYSPEED, 400); },
       "\"FlySpeed\" is 10000, outside 0 to 400; using 400"},
      // An index out of range, like the others.
      {"BGType", [](ScreenSaverDefaults& d) { d.setInteger(7, "BGType"); },
       [](const SETTINGS& s) { EXPECT_EQ(s.BGTYPE, 0); }, "\"BGType\" is 7, outside 0 to 2; using 0"},
      {"MaxBfly", [](ScreenSaverDefaults& d) { d.setInteger(3, "MaxBfly"); },
       [](const SETTINGS& s) { EXPECT_EQ(s.MAX_BFLY, 8); }, "unknown key \"MaxBfly\" ignored"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    fs::remove(StorePath());
    {
      ScreenSaverDefaults store(kSettingsModuleName);
      SETTINGS s;
      bool mainOnly = false;
      LoadSettings(&s, &mainOnly, kResources, store);  // a whole current store
      if (c.store) {
        c.store(store);
      } else {
        store.setObject(nullptr, c.key);
      }
      ASSERT_TRUE(store.synchronize());
    }
    ScreenSaverDefaults store(kSettingsModuleName);
    SETTINGS s;
    bool mainOnly = false;
    const std::string said = LoadTelling(&s, &mainOnly, store);
    if (c.expect) c.expect(s);
    const std::string prefix = "wingdrift: settings \"" + StorePath() + "\": ";
    if (c.said != nullptr) {
      EXPECT_EQ(said, prefix + c.said + "\n");
    } else {  // text expected: not a path
      EXPECT_EQ(said, prefix + "\"BGPath\" is not text; using the default \"" + Pictures() + "\"\n");
      EXPECT_EQ(std::string(s.BGPath), Pictures());
    }
  }
}

TEST_F(SettingsStoreTest, PictureFolderIsTheUsersOnLinux) {
  // The macOS folder of earlier stores is the user's pictures folder; "~/"
  // is the home folder; anything else is taken as it is.
  const std::pair<const char*, std::string> cases[] = {
      {"/library/Desktop Pictures/", Pictures()},
      {"~/Photos/", dir_.path() + "/Photos/"},
      {"/srv/pictures", "/srv/pictures"},
  };
  for (const auto& [stored, folder] : cases) {
    {
      ScreenSaverDefaults store(kSettingsModuleName);
      SETTINGS s;
      bool mainOnly = false;
      LoadSettings(&s, &mainOnly, kResources, store);
      store.setObject(stored, "BGPath");
      ASSERT_TRUE(store.synchronize());
    }
    ScreenSaverDefaults store(kSettingsModuleName);
    SETTINGS s;
    bool mainOnly = false;
    EXPECT_EQ(LoadTelling(&s, &mainOnly, store), "");
    EXPECT_EQ(std::string(s.BGPath), folder) << stored;
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
  const std::string text = StoredText();
  for (const char* never : {"/resource/folder/", "/data/folder/", "BFlyPath", "<integer>6</integer>"})
    EXPECT_EQ(text.find(never), std::string::npos) << never;
  size_t keys = 0;
  for (size_t at = text.find("<key>"); at != std::string::npos; at = text.find("<key>", at + 1)) ++keys;
  EXPECT_EQ(keys, 11u) << "version and the ten saved keys";

  ScreenSaverDefaults store(kSettingsModuleName);
  EXPECT_EQ(store.stringForKey("SelectedBFly"), "Blue.bfly");
  SETTINGS loaded;
  bool mainOnly = false;
  EXPECT_TRUE(LoadSettings(&loaded, &mainOnly, kResources, store));
  EXPECT_TRUE(mainOnly);
  EXPECT_TRUE(loaded.WANTSHADOW);
  EXPECT_EQ(loaded.LBFLYSIZE, 120);
  EXPECT_EQ(loaded.LFLYSPEED, 90);
  EXPECT_EQ(loaded.MIXBFLY, 1);
  EXPECT_EQ(loaded.MAX_BFLY, 4);
  EXPECT_EQ(loaded.BGTYPE, 2);
  EXPECT_STREQ(loaded.BGPath, "/home/me/pictures/");
  EXPECT_EQ(loaded.BGRES, 2);
  EXPECT_EQ(loaded.SelectedBFly, 0);
  EXPECT_STREQ(loaded.SelectedBFlyName, "Blue.bfly");
  EXPECT_STREQ(loaded.BFlyPath, kResources);
  EXPECT_STREQ(loaded.BFlyPath2, kUserTypes);

  // Saving never writes the version: a store saved from scratch still loads
  // as a first run.
  fs::remove(StorePath());
  {
    ScreenSaverDefaults fresh(kSettingsModuleName);
    EXPECT_TRUE(SaveSettings(s, false, fresh));
    EXPECT_EQ(fresh.stringForKey("version"), std::nullopt);
  }
}

TEST_F(SettingsStoreTest, FirstRunThatCannotBeSavedStillFillsTheRecord) {
  TempDir other;
  other.Write("config", "a file where the folder should be");
  ScopedEnv xdg("XDG_CONFIG_HOME", other.File("config").c_str());
  ScreenSaverDefaults store(kSettingsModuleName);
  SETTINGS s;
  bool mainOnly = true;
  bool saved = true;
  const std::string said = LoadTelling(&s, &mainOnly, store, &saved);
  EXPECT_FALSE(saved);
  ExpectFirstRunRecord(s, mainOnly, Pictures());
  EXPECT_EQ(said, "wingdrift: settings \"" + store.path() +
                      "\": cannot save the defaults (Not a directory); using them without saving\n");
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
    SETTINGS s;
    bool mainOnly = true;
    const std::string said = LoadTelling(&s, &mainOnly, store);
    EXPECT_EQ(said, "wingdrift: settings \"" + StorePath() + "\": could not be read; kept it as \"" +
                        store.damagedCopy() + "\" and wrote the defaults\n");
    ExpectFirstRunRecord(s, mainOnly, Pictures());
    EXPECT_EQ(fs::is_fifo(store.damagedCopy()), fifo);
    fs::remove(StorePath());
  }
}
