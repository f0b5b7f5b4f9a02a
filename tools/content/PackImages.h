#pragma once
// The resource pack "qorvane.vessimots" and the default background picture.
//
// Pack lumps, as the scene uses them: 0 a short note (not an image); 1 the
// banner's logo strip (256 x 32, the wordmark with a small butterfly mark);
// 2 and 3 the intro images (256 x 64 and 256 x 128); 4 to 7 the message
// strips (512 x 32, drawn at that size in the banner and stretched to
// 1024 x 64 virtual units in the centre). Every image is light on black
// under the brightness alpha rule, so the overlay's blending gives clean
// anti-aliased edges on any background.
#include <string>
#include <vector>

#include "tools/content/RgbImage.h"
#include "tools/content/TextRenderer.h"

// The messages of lumps 4 to 7, in order.
std::vector<std::string> PackMessages();

// The images of lumps 1 to 7, in order; needs the regular and bold fonts.
std::vector<RgbImage> PackImages(const TextRenderer& regular, const TextRenderer& bold);
// The whole "QORF" file.
std::string BuildResourcePack(const TextRenderer& regular, const TextRenderer& bold);

// A soft aqua-blue picture, `width` x `height`, rows top first.
RgbImage DefaultPicture(int width, int height);
