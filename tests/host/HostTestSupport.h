#pragma once
// What the host tests share: the data the build generates, files and
// folders read back whole, and a settings store written as a test wants it.
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <tuple>

#include "host/Settings.h"
#include "host/WingdriftHost.h"
#include "platform/ScreenSaverDefaults.h"
#include "tests/support/ReadFile.h"

// The shipped types, resource file and picture of this build.
inline const std::string kBuildData = WINGDRIFT_BINARY_DIR "/data/";

inline bool HaveBuildData() { return std::filesystem::exists(kBuildData + kResourceFileName); }

// Every entry of a folder with its bytes (sub-folders by name only).
inline std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    files[e.path().filename()] = e.is_regular_file() ? ReadFile(e.path()) : "/";
  }
  return files;
}

// What the settings store holds of a record.
inline auto Fields(const SETTINGS& s, bool mainOnly) {
  return std::tuple(mainOnly, s.WANTSHADOW, s.LBFLYSIZE, s.LFLYSPEED, s.MAX_BFLY, s.MIXBFLY,
                    s.BGTYPE, std::string(s.BGPath), s.BGRES, std::string(s.SelectedBFlyName));
}

// Replaces the settings store (under $XDG_CONFIG_HOME) with the one a first
// run writes, `edit` applied; false when it cannot be saved.
inline bool StoreSettings(const std::function<void(ScreenSaverDefaults&)>& edit) {
  std::filesystem::remove(ScreenSaverDefaults::PathForModule(kSettingsModuleName));
  ScreenSaverDefaults store(kSettingsModuleName);
  SETTINGS record;
  bool mainOnly = false;
  LoadSettings(&record, &mainOnly, "", store);
  edit(store);
  return store.synchronize();
}
