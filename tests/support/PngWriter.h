#pragma once
// Writes rendered frames as PNG files for people to look at.
#include <cstdint>
#include <string>
#include <vector>

// Saves `rgba` (width * height RGBA pixels, bottom row first, as glReadPixels
// returns them) as an 8-bit RGBA PNG at `path`, top row first. Creates the
// missing folders of the path. False when the sizes disagree or the file
// cannot be written.
bool WriteRgbaPng(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height);
