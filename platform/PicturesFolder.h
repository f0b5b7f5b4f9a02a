#pragma once
// Where the user keeps pictures: the first-run folder of background source 2.
#include <string>

// The XDG pictures folder (GLib's reading of xdg-user-dirs'
// XDG_PICTURES_DIR, cached for the process), else "<home>/Pictures"; always ending in
// "/". Empty when no home folder is known.
std::string UserPicturesFolder();

// A stored folder as a path: a leading "~/" (or a lone "~") becomes the home
// folder; anything else is returned as it is.
std::string ExpandHomeFolder(const std::string& folder);
