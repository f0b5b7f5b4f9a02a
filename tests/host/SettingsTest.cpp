#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <variant>

#include "host/Settings.h"
#include "platform/ScreenSaverDefaults.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "util/Notice.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kResources = "/opt/wingdrift/resources/";
// The user's butterfly folder under XDG_DATA_HOME; not created by loading.
constexpr const char* kUserTypes = "/xdg/data/wingdrift/butterflies";

// What a first run stores and puts in the record, as text; BGPath aside.
const std::pair<const char*, const char*> kFirstRun[] = {
    {"MainMonitorOnly", "0"}, {"BFlySize", "70"},  {"FlySpeed", "75"}, {"MaxBFly", "8"},
    {"MixBFly", "0"},         {"WantShadow", "1"}, {"BGType", "0"},    {"BGRes", "1"}};

// A record of valid values none of which is a default, nor SETTINGS' own.
const SETTINGS kScribbled = {
    .LBFLYSIZE = 120, .LFLYSPEED = 90, .MIXBFLY = -3, .MAX_BFLY = 4, .BGTYPE = 2,
    .BGPath = "/home/me/pictures/", .BGRES = 2, .SelectedBFly = 6,
    .BFlyPath = "/resource/folder/", .BFlyPath2 = "/data/folder/", .SelectedBFlyName = "Blue.bfly"};

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

  // The loaded record's value for a store key, as text.
  std::string Field(const std::string& key) const {
    if (key == "BGPath") return s_.BGPath;
    if (key == "SelectedBFly") return s_.SelectedBFlyName;
    const std::map<std::string, int64_t> values = {
        {"MainMonitorOnly", mainOnly_}, {"BFlySize", s_.LBFLYSIZE}, {"FlySpeed", s_.LFLYSPEED},
        {"MaxBFly", s_.MAX_BFLY},       {"MixBFly", s_.MIXBFLY},    {"WantShadow", s_.WANTSHADOW},
        {"BGType", s_.BGTYPE},          {"BGRes", s_.BGRES}};
    return std::to_string(values.at(key));
  }

  // The defaults in the record and, unless it could not be saved, the store;
  // the record keeps the type it named.
  void ExpectFirstRun(const char* selected = "Blue.bfly") {
    for (const auto& [key, value] : kFirstRun) EXPECT_EQ(Field(key), value) << key;
    EXPECT_EQ(Field("BGPath"), Pictures());
    EXPECT_STREQ(s_.SelectedBFlyName, selected);
    EXPECT_STREQ(s_.BFlyPath, kResources);
    EXPECT_STREQ(s_.BFlyPath2, kUserTypes);
    if (!saved_) return;
    ScreenSaverDefaults store(kSettingsModuleName);
    for (const auto& [key, value] : kFirstRun) EXPECT_EQ(store.stringForKey(key), value) << key;
    EXPECT_EQ(store.stringForKey("version"), "1.1");
    EXPECT_EQ(store.stringForKey("SelectedBFly"), "GOT-F.bfly");
    EXPECT_EQ(store.stringForKey("BGPath"), Pictures());
  }

  TempDir dir_;
  ScopedEnv xdg_{"XDG_CONFIG_HOME", dir_.path().c_str()};
  ScopedEnv home_{"HOME", dir_.path().c_str()};
  ScopedEnv data_{"XDG_DATA_HOME", "/xdg/data"};
  SETTINGS s_ = kScribbled;
  bool mainOnly_ = true;
  bool saved_ = false;
};

}  // namespace

TEST_F(SettingsStoreTest, AnotherVersionIsAFirstRunThatKeepsTheOldStoreAside) {
  for (const char* version : {"1.0", "1.10", "", static_cast<const char*>(nullptr)}) {
    ASSERT_TRUE(StoreSettings([&](ScreenSaverDefaults& store) {
      store.setObject(version, "version");
      store.setObject("Chosen.bfly", "SelectedBFly");
      store.setInteger(150, "BFlySize");
    }));
    const std::string old = ReadFile(StorePath());
    s_ = kScribbled;
    const std::string said = Load();
    EXPECT_TRUE(saved_);
    // The record takes the name it read; only the store gets the default.
    ExpectFirstRun("Chosen.bfly");

    // The user's edits are kept, and the line says where.
    const std::string was =
        version ? "version \"" + std::string(version) + "\" is not \"1.1\"" : "no version";
    const std::string prefix = "wingdrift: settings \"" + StorePath() + "\": " + was +
                               "; kept the old settings as \"";
    ASSERT_EQ(said.rfind(prefix, 0), 0u) << said;
    const size_t end = said.find('"', prefix.size());
    EXPECT_EQ(ReadFile(said.substr(prefix.size(), end - prefix.size())), old);
    EXPECT_EQ(said.substr(end), "\" and wrote the defaults\n");
  }
}

TEST_F(SettingsStoreTest, StoredKeysAreReadSafelyAndWhatCannotBeTakenIsTold) {
  struct Case {
    const char* key;
    std::variant<std::monostate, int64_t, std::string> stored;  // none: the key removed
    const char* field;  // the record's value read for this key
    std::string value;
    std::string said;  // after 'settings "<path>": '; empty: nothing
  };
  const std::string pictures = Pictures();
  const Case cases[] = {
      {"SelectedBFly", "Chosen.bfly", "SelectedBFly", "Chosen.bfly", ""},
      {"FlySpeed", " +40", "FlySpeed", "40", ""},  // a number stored as text
      // A 32-bit field clamped, not wrapped; a path cut to the record's buffer.
      {"BGRes", 5000000000, "BGRes", "2147483647", ""},
      {"BGPath", std::string(2000, 'p'), "BGPath", std::string(1023, 'p'), ""},
      // Without "MaxBFly" no butterfly would fly: a missing key is its default.
      {"MaxBFly", {}, "MaxBFly", "8", "\"MaxBFly\" is missing; using the default 8"},
      {"BFlySize", {}, "BFlySize", "70", "\"BFlySize\" is missing; using the default 70"},
      {"BGPath", {}, "BGPath", pictures,
       "\"BGPath\" is missing; using the default \"" + pictures + "\""},
      {"WantShadow", {}, "WantShadow", "1", "\"WantShadow\" is missing; using the default true"},
      {"FlySpeed", "fast", "FlySpeed", "75", "\"FlySpeed\" is not a number; using the default 75"},
      {"BGPath", 5, "BGPath", pictures,
       "\"BGPath\" is not text; using the default \"" + pictures + "\""},
      // The record keeps its type when the store names none.
      {"SelectedBFly", 5, "SelectedBFly", "Blue.bfly",
       "\"SelectedBFly\" is not text; using the default nothing"},
      {"MaxBFly", -4, "MaxBFly", "0", "\"MaxBFly\" is -4, outside 0 to 10; using 0"},
      {"MaxBFly", 25, "MaxBFly", "10", "\"MaxBFly\" is 25, outside 0 to 10; using 10"},
      // Sizes the type scaling cannot take (200 % divides by zero) and
      // speeds at which no butterfly is ever on screen.
      {"BFlySize", 200, "BFlySize", "190", "\"BFlySize\" is 200, outside 10 to 190; using 190"},
      {"FlySpeed", 10000, "FlySpeed", "400", "\"FlySpeed\" is 10000, outside 0 to 400; using 400"},
      {"BGType", 7, "BGType", "0", "\"BGType\" is 7, outside 0 to 2; using 0"},
      {"MaxBfly", 3, "MaxBFly", "8", "unknown key \"MaxBfly\" ignored"},
      // The settings window's server is stored beside the saver's keys.
      {"DownloadServer", "http://127.0.0.1:8000", "MaxBFly", "8", ""},
      // The macOS folder of earlier stores is the user's pictures folder;
      // "~/" is the home folder; anything else is taken as it is.
      {"BGPath", "/library/Desktop Pictures/", "BGPath", pictures, ""},
      {"BGPath", "~/Photos/", "BGPath", dir_.path() + "/Photos/", ""},
      {"BGPath", "/srv/pictures", "BGPath", "/srv/pictures", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key + (": " + c.said));
    ASSERT_TRUE(StoreSettings([&](ScreenSaverDefaults& store) {
      if (const auto* number = std::get_if<int64_t>(&c.stored)) {
        store.setInteger(*number, c.key);
      } else {
        const auto* text = std::get_if<std::string>(&c.stored);
        store.setObject(text ? text->c_str() : nullptr, c.key);
      }
    }));
    const std::string before = ReadFile(StorePath());
    s_ = kScribbled;
    EXPECT_EQ(Load(), c.said.empty() ? "" : Said(c.said));
    EXPECT_EQ(Field(c.field), c.value);
    EXPECT_EQ(ReadFile(StorePath()), before) << "a current store is not rewritten";
  }

  // A value of a kind no setting takes, here a list.
  std::string text = ReadFile(StorePath());
  std::ofstream(StorePath()) << text.replace(text.find("<true/>"), 7, "<array/>");
  EXPECT_EQ(Load(), Said("\"WantShadow\" is not true or false; using the default true"));
}

TEST_F(SettingsStoreTest, SavedSettingsReadBackWithoutTheVersionOrTheFolders) {
  {
    ScreenSaverDefaults store(kSettingsModuleName);
    EXPECT_TRUE(SaveSettings(kScribbled, true, store));
    EXPECT_EQ(store.keys().size(), 10u) << "the ten saved keys, never the version";
    store.setObject("1.1", "version");
    ASSERT_TRUE(store.synchronize());
  }
  const std::string text = ReadFile(StorePath());
  for (const char* never : {"/resource/folder/", "/data/folder/", "<integer>6</integer>"}) {
    EXPECT_EQ(text.find(never), std::string::npos) << never;
  }
  s_ = SETTINGS();
  s_.WANTSHADOW = true;  // not what was saved
  mainOnly_ = false;
  EXPECT_EQ(Load(), "");
  EXPECT_EQ(Fields(s_, mainOnly_), Fields(kScribbled, true));
  EXPECT_STREQ(s_.BFlyPath, kResources);
  EXPECT_STREQ(s_.BFlyPath2, kUserTypes);
}

TEST_F(SettingsStoreTest, FirstRunWritesTheDefaultsAndWhatCannotBeReadIsKeptAside) {
  EXPECT_EQ(Load(), "") << "a first run is no news";
  EXPECT_TRUE(saved_);
  ExpectFirstRun();

  // A FIFO in the store's place (it would block the open for good) and a
  // damaged file both count as unreadable, and are moved aside.
  for (const bool fifo : {true, false}) {
    fs::remove(StorePath());
    if (fifo) {
      ASSERT_EQ(mkfifo(StorePath().c_str(), 0600), 0);
    } else {
      std::ofstream(StorePath()) << "<plist><dict><key>";
    }
    ScreenSaverDefaults store(kSettingsModuleName);
    ASSERT_FALSE(store.damagedCopy().empty());
    s_ = kScribbled;
    EXPECT_EQ(Load(store), Said("could not be read; kept it as \"" + store.damagedCopy() +
                                "\" and wrote the defaults"));
    ExpectFirstRun();
    EXPECT_EQ(fs::is_fifo(store.damagedCopy()), fifo);
  }

  TempDir other;
  other.Write("config", "a file where the folder should be");
  ScopedEnv xdg("XDG_CONFIG_HOME", other.File("config").c_str());
  s_ = kScribbled;
  EXPECT_EQ(Load(), Said("cannot save the defaults (Not a directory); using them without saving"));
  EXPECT_FALSE(saved_);
  ExpectFirstRun();
}
