#include "host/Settings.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "host/ButterflyFolder.h"
#include "host/DownloadServer.h"
#include "platform/PicturesFolder.h"
#include "platform/ScreenSaverDefaults.h"
#include "util/CString.h"
#include "util/Notice.h"

namespace {

constexpr int64_t kMaxButterflies = 10;

// First-run defaults.
constexpr bool kDefaultMainMonitorOnly = false;
constexpr const char* kDefaultSelectedBFly = "GOT-F.bfly";
constexpr int64_t kDefaultBFlySize = 70;
constexpr int64_t kDefaultFlySpeed = 75;
constexpr int64_t kDefaultMaxBFly = 8;
constexpr int32_t kDefaultMixBFly = 0;
constexpr bool kDefaultWantShadow = true;
constexpr int32_t kDefaultBGType = 0;
constexpr int32_t kDefaultBGRes = 1;

// The stored keys, "version" included; the download server's is the
// settings window's own, read where downloads are made.
constexpr const char* kKnownKeys[] = {"version",  "MainMonitorOnly", "SelectedBFly",
                                      "BFlySize", "FlySpeed",        "MaxBFly",
                                      "MixBFly",  "WantShadow",      "BGType",
                                      "BGPath",   "BGRes",           kDownloadServerKey};

using Kind = ScreenSaverDefaults::Kind;

// Reads the keys of one store and tells the user, once per line, what it
// could not take as stored.
class Reader {
 public:
  explicit Reader(const ScreenSaverDefaults& store) : store_(store) {}

  void Tell(const std::string& what) const {
    Notice("settings \"" + store_.path() + "\": " + what);
  }

  // An integer key: integers, reals and truth values convert; text must hold
  // a number. Missing or of another kind: the default.
  int64_t Integer(const char* key, int64_t fallback) const {
    const Kind kind = store_.kindForKey(key);
    if (kind == Kind::Absent) return Missing(key, std::to_string(fallback)), fallback;
    if (kind == Kind::Other || (kind == Kind::Text && !HoldsNumber(key))) {
      WrongKind(key, "a number", std::to_string(fallback));
      return fallback;
    }
    return store_.integerForKey(key);
  }

  // A 32-bit field: stored integers are clamped rather than wrapped, so a
  // huge stored value cannot turn into a small valid one.
  int32_t Integer32(const char* key, int32_t fallback) const {
    return static_cast<int32_t>(std::clamp<int64_t>(Integer(key, fallback), INT32_MIN, INT32_MAX));
  }

  bool Truth(const char* key, bool fallback) const {
    const Kind kind = store_.kindForKey(key);
    if (kind == Kind::Absent) return Missing(key, fallback ? "true" : "false"), fallback;
    if (kind == Kind::Other) {
      WrongKind(key, "true or false", fallback ? "true" : "false");
      return fallback;
    }
    return store_.boolForKey(key);
  }

  std::optional<std::string> Text(const char* key, const char* fallback) const {
    const Kind kind = store_.kindForKey(key);
    if (kind == Kind::Absent) {
      if (fallback != nullptr) Missing(key, std::string("\"") + fallback + "\"");
      return std::nullopt;
    }
    if (kind != Kind::Text) {
      WrongKind(key, "text", fallback != nullptr ? std::string("\"") + fallback + "\"" : "nothing");
      return std::nullopt;
    }
    return store_.stringForKey(key);
  }

  // `value` lies outside [low, high]: says so and returns the nearest end.
  int64_t Limit(const char* key, int64_t value, int64_t low, int64_t high) const {
    const int64_t used = std::clamp(value, low, high);
    if (used != value) {
      Tell(std::string("\"") + key + "\" is " + std::to_string(value) + ", outside " +
           std::to_string(low) + " to " + std::to_string(high) + "; using " + std::to_string(used));
    }
    return used;
  }

  void UnknownKeys() const {
    for (const std::string& key : store_.keys()) {
      bool known = false;
      for (const char* k : kKnownKeys) known = known || key == k;
      if (!known) Tell("unknown key \"" + key + "\" ignored");
    }
  }

 private:
  void Missing(const char* key, const std::string& used) const {
    Tell(std::string("\"") + key + "\" is missing; using the default " + used);
  }
  void WrongKind(const char* key, const char* wanted, const std::string& used) const {
    Tell(std::string("\"") + key + "\" is not " + wanted + "; using the default " + used);
  }
  bool HoldsNumber(const char* key) const {
    const std::string text = store_.stringForKey(key).value_or("");
    size_t i = text.find_first_not_of(" \t\n");
    if (i != std::string::npos && (text[i] == '+' || text[i] == '-')) ++i;
    return i < text.size() && text[i] >= '0' && text[i] <= '9';
  }

  const ScreenSaverDefaults& store_;
};

// A record field as text, bounded by its buffer even if unterminated.
std::string FieldText(const char (&field)[1024]) {
  return std::string(field, BoundedLength(field, sizeof field));
}

}  // namespace

std::string DefaultPictureFolder() {
  const std::string folder = UserPicturesFolder();
  return folder.empty() ? std::string(kMacPictureFolder) : folder;
}

std::string PictureFolderFromStored(const std::string& stored) {
  if (stored == kMacPictureFolder) return DefaultPictureFolder();
  return ExpandHomeFolder(stored);
}

bool LoadSettings(SETTINGS* settings, bool* mainMonitorOnly, const char* resourceFolder,
                  ScreenSaverDefaults& store) {
  CopyCString(settings->BFlyPath, resourceFolder);
  CopyCString(settings->BFlyPath2, UserButterflyFolder().c_str());

  const Reader read(store);
  if (!store.damagedCopy().empty()) {
    read.Tell("could not be read; kept it as \"" + store.damagedCopy() +
              "\" and wrote the defaults");
  } else if (store.blocked()) {
    read.Tell("could not be read nor moved aside; using the defaults without saving");
  }

  const std::optional<std::string> version = store.stringForKey("version");
  bool saved = true;
  if (!version || *version != kSettingsVersion) {
    // A store that is there but of another version holds the user's edits:
    // keep a copy before the defaults replace them. An empty store is a
    // first run and says nothing.
    if (!store.keys().empty()) {
      std::string copy;
      const std::string was = version ? "version \"" + *version + "\" is not \"" + kSettingsVersion + "\""
                                      : "no version";
      if (store.KeepCopy(&copy)) {
        read.Tell(was + "; kept the old settings as \"" + copy + "\" and wrote the defaults");
      } else {
        read.Tell(was + "; wrote the defaults (no copy of the old settings could be kept)");
      }
    }
    // SelectedBFlyName keeps what the record had or the store named.
    if (store.kindForKey("SelectedBFly") == Kind::Text)
      CopyCString(settings->SelectedBFlyName, store.stringForKey("SelectedBFly")->c_str());
    const std::string folder = DefaultPictureFolder();
    store.setObject(kSettingsVersion, "version");
    store.setBool(kDefaultMainMonitorOnly, "MainMonitorOnly");
    store.setObject(kDefaultSelectedBFly, "SelectedBFly");
    store.setInteger(kDefaultBFlySize, "BFlySize");
    store.setInteger(kDefaultFlySpeed, "FlySpeed");
    store.setInteger(kDefaultMaxBFly, "MaxBFly");
    store.setInteger(kDefaultMixBFly, "MixBFly");
    store.setBool(kDefaultWantShadow, "WantShadow");
    store.setInteger(kDefaultBGType, "BGType");
    store.setObject(folder.c_str(), "BGPath");
    store.setInteger(kDefaultBGRes, "BGRes");
    saved = store.synchronize();
    if (!saved && !store.blocked()) {
      read.Tell("cannot save the defaults (" + store.saveError() +
                "); using them without saving");
    }

    *mainMonitorOnly = kDefaultMainMonitorOnly;
    settings->LBFLYSIZE = kDefaultBFlySize;
    settings->LFLYSPEED = kDefaultFlySpeed;
    settings->MAX_BFLY = kDefaultMaxBFly;
    settings->MIXBFLY = kDefaultMixBFly;
    settings->WANTSHADOW = kDefaultWantShadow;
    settings->BGTYPE = kDefaultBGType;
    CopyCString(settings->BGPath, folder.c_str());
    settings->BGRES = kDefaultBGRes;
    return saved;
  }

  read.UnknownKeys();
  *mainMonitorOnly = read.Truth("MainMonitorOnly", kDefaultMainMonitorOnly);
  // The record keeps its name when the store has none.
  if (const std::optional<std::string> selected = read.Text("SelectedBFly", nullptr))
    CopyCString(settings->SelectedBFlyName, selected->c_str());
  settings->LBFLYSIZE =
      read.Limit("BFlySize", read.Integer("BFlySize", kDefaultBFlySize), kMinBFlySize, kMaxBFlySize);
  settings->LFLYSPEED =
      read.Limit("FlySpeed", read.Integer("FlySpeed", kDefaultFlySpeed), 0, kMaxFlySpeed);
  settings->MAX_BFLY =
      read.Limit("MaxBFly", read.Integer("MaxBFly", kDefaultMaxBFly), 0, kMaxButterflies);
  settings->MIXBFLY = read.Integer32("MixBFly", kDefaultMixBFly);
  settings->WANTSHADOW = read.Truth("WantShadow", kDefaultWantShadow);
  // An index into the three sources; anything else is the first.
  const int64_t bgType = read.Integer32("BGType", kDefaultBGType);
  settings->BGTYPE = static_cast<int32_t>(bgType);
  if (bgType < 0 || bgType > 2) {
    read.Tell("\"BGType\" is " + std::to_string(bgType) + ", outside 0 to 2; using 0");
    settings->BGTYPE = 0;
  }
  const std::string defaultFolder = DefaultPictureFolder();
  const std::optional<std::string> bgPath = read.Text("BGPath", defaultFolder.c_str());
  CopyCString(settings->BGPath, (bgPath ? PictureFolderFromStored(*bgPath) : defaultFolder).c_str());
  settings->BGRES = read.Integer32("BGRes", kDefaultBGRes);
  return true;
}
bool SaveSettings(const SETTINGS& settings, bool mainMonitorOnly, ScreenSaverDefaults& store) {
  store.setBool(mainMonitorOnly, "MainMonitorOnly");
  store.setObject(FieldText(settings.SelectedBFlyName).c_str(), "SelectedBFly");
  store.setInteger(settings.LBFLYSIZE, "BFlySize");
  store.setInteger(settings.LFLYSPEED, "FlySpeed");
  store.setInteger(settings.MAX_BFLY, "MaxBFly");
  store.setInteger(settings.MIXBFLY, "MixBFly");
  store.setBool(settings.WANTSHADOW, "WantShadow");
  store.setInteger(settings.BGTYPE, "BGType");
  store.setObject(FieldText(settings.BGPath).c_str(), "BGPath");
  store.setInteger(settings.BGRES, "BGRes");
  return store.synchronize();
}
