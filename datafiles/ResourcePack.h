#pragma once
// The module's resource pack: every image lump of a "QORF" resource file as
// a ready GL texture.
#include <memory>

#include "util/Texture.h"

// Opens the resource file at `path` and builds one texture slot per lump, so
// that a lump's index is its texture's index. Lumps of type 1 are TGA images
// built with their directory entry's alpha rule; lumps of any other type
// leave their slot empty (no image, GL name 0).
//
// False, with `textures` and `count` untouched, when the file cannot be
// opened or is not a sound resource file. Once the file is open the array is
// handed out through `textures` (and the lump count through `count`) before
// any image is read, so when an image then fails to load or build the
// function returns false and the caller keeps the partly filled array. The
// TGA reader reports its own problems. Needs the GL context current.
bool LoadTexturesFromDataFile(const char* path, std::unique_ptr<Texture[]>* textures, int* count);
