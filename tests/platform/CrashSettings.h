#pragma once
// The two sets of settings, 'A' and 'B', that the store's crash test
// alternates between. Every key differs between them, so a file mixing the
// two is detected, and the long text makes a save span several pages.
#include <cstdint>
#include <string>

#include "platform/ScreenSaverDefaults.h"

inline constexpr const char* kCrashModule = "qvCrashTest";

inline void ApplyCrashSettings(ScreenSaverDefaults& store, char set) {
  store.setObject(std::string(1, set).c_str(), "Which");
  store.setInteger(set == 'A' ? 1111 : -2222, "Counter");
  store.setBool(set == 'B', "Flag");
  store.setObject(std::string(20000, set).c_str(), "Text");
}

inline bool HoldsCrashSettings(const ScreenSaverDefaults& store, char set) {
  return store.stringForKey("Which") == std::string(1, set) &&
         store.integerForKey("Counter") == (set == 'A' ? 1111 : -2222) && store.boolForKey("Flag") == (set == 'B') &&
         store.stringForKey("Text") == std::string(20000, set);
}
