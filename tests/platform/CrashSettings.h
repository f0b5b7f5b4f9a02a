#pragma once
// The two sets of settings that the store's crash test alternates between.
// Every key differs between them, so a file mixing the two is detected.
#include <cstdint>
#include <string>

#include "platform/ScreenSaverDefaults.h"

inline constexpr const char* kCrashModule = "qvCrashTest";

struct CrashSettings {
  const char* which;
  int64_t counter;
  bool flag;
  char fill;  // the long text is this character repeated
};

inline constexpr CrashSettings kCrashA{"A", 1111, false, 'a'};
inline constexpr CrashSettings kCrashB{"B", -2222, true, 'b'};
// Long enough that a save spans several pages of the file.
inline constexpr size_t kCrashTextLength = 20000;

inline void ApplyCrashSettings(ScreenSaverDefaults& store, const CrashSettings& s) {
  store.setObject(s.which, "Which");
  store.setInteger(s.counter, "Counter");
  store.setBool(s.flag, "Flag");
  store.setObject(std::string(kCrashTextLength, s.fill).c_str(), "Text");
}

inline bool HoldsCrashSettings(const ScreenSaverDefaults& store, const CrashSettings& s) {
  return store.stringForKey("Which") == std::string(s.which) && store.integerForKey("Counter") == s.counter &&
         store.boolForKey("Flag") == s.flag &&
         store.stringForKey("Text") == std::string(kCrashTextLength, s.fill);
}
