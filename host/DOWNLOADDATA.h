#pragma once
// One entry of the catalogue of downloadable butterfly types.
#include <cstdint>

struct DOWNLOADDATA {
  char name[40] = {};       // display name, cut to 39 characters
  char location[512] = {};  // address of the ".bfly" file, absolute or relative to the catalogue
  // The optional third and fourth parts of a catalogue line.
  int64_t size = -1;        // bytes the file has; -1: not stated
  char sha256[65] = {};     // lower-case hex SHA-256 of the file; empty: not stated
};
