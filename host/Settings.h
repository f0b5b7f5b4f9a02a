#pragma once
// Loading and saving the settings record through the module's settings store.
#include "util/SETTINGS.h"

class ScreenSaverDefaults;

// The module name the settings are stored under.
inline constexpr const char* kSettingsModuleName = "qvWingdrift";
// Stored settings of any other "version" are replaced by the first-run
// defaults.
inline constexpr const char* kSettingsVersion = "1.1";

// Fills `settings` and `*mainMonitorOnly` from `store` (opened for
// kSettingsModuleName), as a view does when it is created:
//  - BFlyPath = `resourceFolder` (the folder of the module's own resources),
//    BFlyPath2 = the user's butterfly folder (UserButterflyFolder; it need
//    not exist yet);
//  - SelectedBFlyName keeps its value when the store has no "SelectedBFly";
//  - when the stored "version" is absent or not exactly kSettingsVersion,
//    every stored key is overwritten with the first-run defaults and the
//    record takes them too, except SelectedBFlyName, which keeps what was
//    read (the flock then falls back to the first type it finds);
//  - MAX_BFLY is limited to 10 (no lower limit).
// SelectedBFly is left alone. Returns false only when first-run defaults had
// to be written and the store could not save them; the record is filled
// either way.
bool LoadSettings(SETTINGS* settings, bool* mainMonitorOnly, const char* resourceFolder,
                  ScreenSaverDefaults& store);

// Writes every stored key except "version" ("SelectedBFly" from
// SelectedBFlyName) and synchronises the store. BFlyPath, BFlyPath2 and
// SelectedBFly are never stored. Returns the store's synchronise result.
bool SaveSettings(const SETTINGS& settings, bool mainMonitorOnly, ScreenSaverDefaults& store);
