#pragma once
// Settings given on the command line for one run: XScreenSaver's settings
// dialog passes its controls this way. Each one given replaces the stored
// value in the record after loading; nothing here is ever written to the
// settings store.
#include <cstdint>
#include <optional>
#include <string>

#include "util/SETTINGS.h"

struct SettingsOverrides {
  std::optional<int64_t> count;       // --count N: MAX_BFLY, 0..10
  std::optional<int64_t> size;        // --butterfly-size PCT: LBFLYSIZE, 10..190
  std::optional<int64_t> speed;       // --speed PCT: LFLYSPEED, 0..kMaxSpeed
  std::optional<bool> shadows;        // --shadows / --no-shadows: WANTSHADOW
  std::optional<std::string> type;    // --type FILE: every butterfly of FILE (MIXBFLY 1)
  bool mix = false;                   // --mix: a random type per butterfly (MIXBFLY 0)
  std::optional<int32_t> background;  // --background desktop|picture|folder: BGTYPE 0..2
  std::optional<std::string> folder;  // --folder DIR: BGPath
  std::optional<int32_t> detail;      // --detail 0|1|2: BGRES
  bool mainMonitorOnly = false;       // --main-monitor-only

  static constexpr int64_t kMaxSpeed = 400;  // per cent

  // Puts the given values into `settings` and `*mainOnly`.
  void ApplyTo(SETTINGS* settings, bool* mainOnly) const;
};
