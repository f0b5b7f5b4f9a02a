#pragma once
// Writes rendered frames as PNG files for people to look at.
#include <cstdint>
#include <string>
#include <vector>

// Saves `rgba` (width * height RGBA pixels, bottom row first, as glReadPixels
// returns them) as an 8-bit RGB PNG at `path`, top row first. The alpha
// channel is left out, as a screen shows only the colour. Creates the
// missing folders of the path. False when the sizes disagree or the file
// cannot be written.
bool WriteFramePng(const std::string& path, const std::vector<uint8_t>& rgba, int width,
                   int height);
