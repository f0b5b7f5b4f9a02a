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

// The test flock's three types, which differ in size, texture count and alpha
// handling.
inline void WriteTestFlockTypes(const std::string& folder) {
  ButterflySpec a;
  a.name = "Amber";
  a.colours = {{{230, 140, 20}}, {{200, 60, 40}}, {{240, 220, 60}}};
  WriteButterflyType(folder, "Amber.bfly", a);
  ButterflySpec b;
  b.name = "Blue";
  b.wingSpan = 3.0f;
  b.colours = {{{40, 90, 230}}};
  b.sharedAlpha = true;
  WriteButterflyType(folder, "Blue.bfly", b);
  ButterflySpec c;
  c.name = "Large";
  c.wingSpan = 6.0f;
  c.modelScale = 130;
  c.colours = {{{120, 200, 90}}, {{30, 30, 30}}};
  WriteButterflyType(folder, "Large.bfly", c);
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
