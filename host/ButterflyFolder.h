#pragma once
// The user's butterfly data folder: downloaded types are saved there and the
// saver reads it as its second folder of types.
#include <string>

// $XDG_DATA_HOME/wingdrift/butterflies ($HOME/.local/share when the variable
// is unset, empty or not absolute); empty when no home folder is known.
// Without a trailing "/".
std::string UserButterflyFolder();

// Creates `folder` and its parents as needed (mode 0755). False with the
// reason in `error` when it is not a folder afterwards.
bool EnsureFolder(const std::string& folder, std::string* error);
