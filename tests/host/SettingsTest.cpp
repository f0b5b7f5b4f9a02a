#include "host/Settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/ScreenSaverDefaults.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "util/CString.h"

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

  TempDir dir_;
  ScopedEnv xdg_{"XDG_CONFIG_HOME", dir_.path().c_str()};
  ScopedEnv data_{"XDG_DATA_HOME", "/xdg/data"};
};

// The user's butterfly folder under XDG_DATA_HOME; not created by loading.
constexpr const char* kUserTypes = "/xdg/data/wingdrift/butterflies";

void ExpectFirstRunRecord(const SETTINGS& s, bool mainMonitorOnly) {
  EXPECT_FALSE(mainMonitorOnly);
  EXPECT_EQ(s.LBFLYSIZE, 70);
  EXPECT_EQ(s.LFLYSPEED, 75);
  EXPECT_EQ(s.MAX_BFLY, 8);
  EXPECT_EQ(s.MIXBFLY, 0);
  EXPECT_TRUE(s.WANTSHADOW);
  EXPECT_EQ(s.BGTYPE, 0);
  EXPECT_STREQ(s.BGPath, "/library/Desktop Pictures/");
  EXPECT_EQ(s.BGRES, 1);
}

void ExpectFirstRunStore(const ScreenSaverDefaults& store) {
  EXPECT_EQ(store.stringForKey("version"), "1.1");
  EXPECT_FALSE(store.boolForKey("MainMonitorOnly"));
  EXPECT_EQ(store.stringForKey("SelectedBFly"), "GOT-F.bfly");
  EXPECT_EQ(store.integerForKey("BFlySize"), 70);
  EXPECT_EQ(store.integerForKey("FlySpeed"), 75);
  EXPECT_EQ(store.integerForKey("MaxBFly"), 8);
  EXPECT_EQ(store.integerForKey("MixBFly"), 0);
  EXPECT_TRUE(store.boolForKey("WantShadow"));
  EXPECT_EQ(store.integerForKey("BGType"), 0);
  EXPECT_EQ(store.stringForKey("BGPath"), "/library/Desktop Pictures/");
  EXPECT_EQ(store.integerForKey("BGRes"), 1);
}

}  // namespace

TEST_F(SettingsStoreTest, FirstRunWritesTheDefaultsButKeepsTheSelectedTypeEmpty) {
  {
    ScreenSaverDefaults store(kSettingsModuleName);
    SETTINGS s;
    s.BFlyPath2[0] = 'x';
    bool mainOnly = true;
    EXPECT_TRUE(LoadSettings(&s, &mainOnly, kResources, store));
    ExpectFirstRunRecord(s, mainOnly);
    EXPECT_STREQ(s.SelectedBFlyName, "") << "the flock falls back to the first type it finds";
    EXPECT_STREQ(s.BFlyPath, kResources);
    EXPECT_STREQ(s.BFlyPath2, kUserTypes);
  }
  // The defaults reached the disk.
  ScreenSaverDefaults reread(kSettingsModuleName);
  ExpectFirstRunStore(reread);

  // A selected name already in the record stays when the store has none.
  fs::remove(StorePath());
  ScreenSaverDefaults empty(kSettingsModuleName);
  SETTINGS s;
  CopyCString(s.SelectedBFlyName, "Mine.bfly");
  bool mainOnly = false;
  LoadSettings(&s, &mainOnly, kResources, empty);
  EXPECT_STREQ(s.SelectedBFlyName, "Mine.bfly");
}

TEST_F(SettingsStoreTest, AnotherVersionIsAFirstRunThatOverwritesUserChoices) {
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
    ScreenSaverDefaults store(kSettingsModuleName);
    SETTINGS s;
    bool mainOnly = true;
    EXPECT_TRUE(LoadSettings(&s, &mainOnly, kResources, store));
    ExpectFirstRunRecord(s, mainOnly);
    // The record keeps the name it read; only the store gets the default.
    EXPECT_STREQ(s.SelectedBFlyName, "Chosen.bfly");
    ScreenSaverDefaults reread(kSettingsModuleName);
    ExpectFirstRunStore(reread);
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
  EXPECT_TRUE(LoadSettings(&s, &mainOnly, kResources, store));
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

  // No lower limit on the number of butterflies; absent keys read as 0.
  for (int64_t count : {0, -4}) {
    store.setInteger(count, "MaxBFly");
    store.setObject(nullptr, "BGPath");
    SETTINGS t;
    LoadSettings(&t, &mainOnly, kResources, store);
    EXPECT_EQ(t.MAX_BFLY, count);
    EXPECT_STREQ(t.BGPath, "");
  }

  // Sizes the type scaling cannot take (200 % divides by zero, 0 % stops the
  // flock) and negative speeds are brought into range when read, not stored.
  const struct {
    int64_t size, speed, wantSize, wantSpeed;
  } ranges[] = {{200, -5, 190, 0}, {5000, 40, 190, 40}, {0, 0, 10, 0}, {-70, 75, 10, 75},
                {10, 500, 10, 500}, {190, 1, 190, 1}};
  for (const auto& r : ranges) {
    store.setInteger(r.size, "BFlySize");
    store.setInteger(r.speed, "FlySpeed");
    SETTINGS t;
    LoadSettings(&t, &mainOnly, kResources, store);
    EXPECT_EQ(t.LBFLYSIZE, r.wantSize) << r.size;
    EXPECT_EQ(t.LFLYSPEED, r.wantSpeed) << r.speed;
    EXPECT_EQ(store.integerForKey("BFlySize"), r.size) << "the stored value is kept";
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
  EXPECT_FALSE(LoadSettings(&s, &mainOnly, kResources, store));
  ExpectFirstRunRecord(s, mainOnly);
}
