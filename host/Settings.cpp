#include "host/Settings.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "host/ButterflyFolder.h"
#include "platform/ScreenSaverDefaults.h"
#include "util/CString.h"

namespace {

constexpr int64_t kMaxButterflies = 10;
// Types are scaled by modelScale / (100 + 100 x (1 - size / 100)): at 200 per
// cent that divides by zero and beyond it turns the models inside out, and at
// 0 or below the flight speeds, which the size also scales, stop or reverse.
constexpr int64_t kMinBFlySize = 10;   // per cent
constexpr int64_t kMaxBFlySize = 190;  // per cent

// First-run defaults.
constexpr bool kDefaultMainMonitorOnly = false;
constexpr const char* kDefaultSelectedBFly = "GOT-F.bfly";
constexpr int64_t kDefaultBFlySize = 70;
constexpr int64_t kDefaultFlySpeed = 75;
constexpr int64_t kDefaultMaxBFly = 8;
constexpr int32_t kDefaultMixBFly = 0;
constexpr bool kDefaultWantShadow = true;
constexpr int32_t kDefaultBGType = 0;
// Lower-case "library": the value the settings have always been stored with.
constexpr const char* kDefaultBGPath = "/library/Desktop Pictures/";
constexpr int32_t kDefaultBGRes = 1;

// Stored integers of the 32-bit fields are clamped rather than wrapped, so a
// huge stored value cannot turn into a small valid one.
int32_t Integer32(const ScreenSaverDefaults& store, const char* key) {
  const int64_t v = store.integerForKey(key);
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// A record field as text, bounded by its buffer even if unterminated.
std::string FieldText(const char (&field)[1024]) {
  return std::string(field, BoundedLength(field, sizeof field));
}

void CopyStoredString(char (&field)[1024], const std::optional<std::string>& value) {
  CopyCString(field, value ? value->c_str() : nullptr);
}

}  // namespace

bool LoadSettings(SETTINGS* settings, bool* mainMonitorOnly, const char* resourceFolder,
                  ScreenSaverDefaults& store) {
  const std::optional<std::string> version = store.stringForKey("version");
  *mainMonitorOnly = store.boolForKey("MainMonitorOnly");

  CopyCString(settings->BFlyPath, resourceFolder);
  CopyCString(settings->BFlyPath2, UserButterflyFolder().c_str());

  if (const std::optional<std::string> selected = store.stringForKey("SelectedBFly"))
    CopyCString(settings->SelectedBFlyName, selected->c_str());
  settings->LBFLYSIZE = store.integerForKey("BFlySize");
  settings->LFLYSPEED = store.integerForKey("FlySpeed");
  settings->MAX_BFLY = store.integerForKey("MaxBFly");
  settings->MIXBFLY = Integer32(store, "MixBFly");
  settings->WANTSHADOW = store.boolForKey("WantShadow");
  settings->BGTYPE = Integer32(store, "BGType");
  CopyStoredString(settings->BGPath, store.stringForKey("BGPath"));
  settings->BGRES = Integer32(store, "BGRes");

  bool saved = true;
  if (!version || *version != kSettingsVersion) {
    store.setObject(kSettingsVersion, "version");
    store.setBool(kDefaultMainMonitorOnly, "MainMonitorOnly");
    store.setObject(kDefaultSelectedBFly, "SelectedBFly");
    store.setInteger(kDefaultBFlySize, "BFlySize");
    store.setInteger(kDefaultFlySpeed, "FlySpeed");
    store.setInteger(kDefaultMaxBFly, "MaxBFly");
    store.setInteger(kDefaultMixBFly, "MixBFly");
    store.setBool(kDefaultWantShadow, "WantShadow");
    store.setInteger(kDefaultBGType, "BGType");
    store.setObject(kDefaultBGPath, "BGPath");
    store.setInteger(kDefaultBGRes, "BGRes");
    saved = store.synchronize();

    *mainMonitorOnly = kDefaultMainMonitorOnly;
    settings->LBFLYSIZE = kDefaultBFlySize;
    settings->LFLYSPEED = kDefaultFlySpeed;
    settings->MAX_BFLY = kDefaultMaxBFly;
    settings->MIXBFLY = kDefaultMixBFly;
    settings->WANTSHADOW = kDefaultWantShadow;
    settings->BGTYPE = kDefaultBGType;
    CopyCString(settings->BGPath, kDefaultBGPath);
    settings->BGRES = kDefaultBGRes;
  }

  if (settings->MAX_BFLY > kMaxButterflies) settings->MAX_BFLY = kMaxButterflies;
  settings->LBFLYSIZE = std::clamp(settings->LBFLYSIZE, kMinBFlySize, kMaxBFlySize);
  // A negative speed would fly the flock backwards through its own paths.
  settings->LFLYSPEED = std::max<int64_t>(settings->LFLYSPEED, 0);
  return saved;
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
