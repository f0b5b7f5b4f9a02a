#pragma once
// A butterfly type written to a temporary folder and loaded as the catalogue
// loads it, for tests that need real bodies and textures (a current OpenGL
// context).
#include <memory>
#include <string>

#include "datafiles/BFLYINFO.h"
#include "tests/butterflies/FlockTypes.h"
#include "tests/support/TempDir.h"
#include "util/CString.h"

struct LoadedType {
  TempDir dir;
  BFLYINFO info;

  // False when the type does not load.
  bool Load(const ButterflySpec& recipe, float size = 1.0f) {
    WriteButterflyType(dir.path(), "Type.bfly", recipe);
    const std::string folder = dir.path() + "/";
    CopyCString(info.fileName, "Type.bfly");
    CopyCString(info.path, folder.c_str());
    return info.LoadData(info.path, size) && info.data;
  }
  BFLYDATA* data() { return info.data.get(); }
};
