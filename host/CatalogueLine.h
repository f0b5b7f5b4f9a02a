#pragma once
// The catalogue of downloadable types: a text (XML) property list whose top
// object is an array of strings, one per type, each
// "name;location[;size;sha256]".
#include <cstddef>
#include <string>
#include <vector>

#include "host/DOWNLOADDATA.h"

// The strings of a catalogue body, in order. False when the body is not an
// XML property list (binary ones included) or its top object is not an array
// holding only strings; `lines` is then left empty.
bool ParseCatalogue(const char* body, size_t size, std::vector<std::string>* lines);

// Splits one line at ";": part 0 into `name` (cut to 39 characters), part 1
// into `location` (cut to 511), part 2 (decimal bytes) into `size` and part 3
// (64 hex digits, either case, stored lower case) into `sha256`; further
// parts are ignored, and empty third or fourth parts mean "not stated".
// False, with `entry` unspecified, for a line without a second part or with a
// third or fourth part that is not what it should be.
bool SplitCatalogueLine(const std::string& line, DOWNLOADDATA* entry);

// The XML property list of `lines`, as ParseCatalogue reads it.
std::string FormatCatalogue(const std::vector<std::string>& lines);
