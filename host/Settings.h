#pragma once
// Loading and saving the settings record through the module's settings store.
#include <string>

#include "util/SETTINGS.h"

class ScreenSaverDefaults;

// The module name the settings are stored under.
inline constexpr const char* kSettingsModuleName = "qvWingdrift";
// Stored settings of any other "version" are replaced by the first-run
// defaults.
inline constexpr const char* kSettingsVersion = "1.1";

// The picture folder of macOS, which earlier stores hold as the first-run
// "BGPath"; read as the user's pictures folder.
inline constexpr const char* kMacPictureFolder = "/library/Desktop Pictures/";

// The first-run "BGPath": the user's pictures folder (XDG), ending in "/".
std::string DefaultPictureFolder();
// A stored "BGPath" as the folder to list: the macOS default becomes
// DefaultPictureFolder(), a leading "~/" the home folder.
std::string PictureFolderFromStored(const std::string& stored);

// Fills `settings` and `*mainMonitorOnly` from `store` (opened for
// kSettingsModuleName), as a view does when it is created:
//  - BFlyPath = `resourceFolder` (the folder of the module's own resources),
//    BFlyPath2 = the user's butterfly folder (UserButterflyFolder; it need
//    not exist yet);
//  - SelectedBFlyName keeps its value when the store has no "SelectedBFly";
//  - when the stored "version" is absent or not exactly kSettingsVersion,
//    every stored key is overwritten with the first-run defaults and the
//    record takes them too, except SelectedBFlyName, which keeps what was
//    read (the flock then falls back to the first type it finds); a store
//    that held anything is first kept as a copy beside it;
//  - otherwise a missing key, or one of a kind that does not convert (text
//    without a number for a number), reads as its default; MAX_BFLY is
//    limited to 0-10, LBFLYSIZE to kMinBFlySize-kMaxBFlySize, LFLYSPEED to
//    0-kMaxFlySpeed, and a BGTYPE outside 0-2 reads as 0; BGPath goes
//    through PictureFolderFromStored.
// Every key that is unknown, missing, of the wrong kind or out of range, a
// damaged store moved aside, a store of another version kept aside and a
// failed save each give one line on standard error (util/Notice), naming
// the store and the value used. SelectedBFly is left alone. Returns false
// only when first-run defaults had to be written and the store could not
// save them; the record is filled either way.
bool LoadSettings(SETTINGS* settings, bool* mainMonitorOnly, const char* resourceFolder,
                  ScreenSaverDefaults& store);

// Writes every stored key except "version" ("SelectedBFly" from
// SelectedBFlyName) and synchronises the store. BFlyPath, BFlyPath2 and
// SelectedBFly are never stored. Returns the store's synchronise result.
bool SaveSettings(const SETTINGS& settings, bool mainMonitorOnly, ScreenSaverDefaults& store);
