#pragma once
// Butterfly type folders and settings for flock tests.
#include <string>

#include "tools/ButterflyBuilder.h"
#include "tools/LumpWriter.h"
#include "util/CString.h"
#include "util/SETTINGS.h"

// Writes `recipe` as `folder`/`fileName`; returns the file's path.
inline std::string WriteButterflyType(const std::string& folder, const std::string& fileName,
                                      const ButterflySpec& recipe) {
  const std::string path = folder + "/" + fileName;
  WriteBytes(path, ButterflyFile(recipe));
  return path;
}

// The settings the flock reads: `count` butterflies from `folder1` (and
// `folder2`), at the default size, with the given mix and selected type.
inline SETTINGS FlockSettings(const std::string& folder1, int64_t count, int32_t mix = 0,
                              const char* selected = "", const std::string& folder2 = "") {
  SETTINGS s;
  s.LBFLYSIZE = 70;
  s.MAX_BFLY = count;
  s.MIXBFLY = mix;
  CopyCString(s.BFlyPath, folder1.c_str());
  CopyCString(s.BFlyPath2, folder2.c_str());
  CopyCString(s.SelectedBFlyName, selected);
  return s;
}
