#pragma once
// One entry of the butterfly-type catalogue: where a ".bfly" file lies, the
// header values the catalogue shows, and the type's data once loaded.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "datafiles/BFLYDATA.h"

class BFLYINFO {
 public:
  static constexpr size_t kPathBytes = 16384;
  static constexpr size_t kNameBytes = 40;

  char path[kPathBytes] = {};      // folder of the file, ending in "/"
  char fileName[kPathBytes] = {};  // name within the folder, e.g. "Gold.bfly"
  char name[kNameBytes] = {};      // display name from the header, cut to 39
  std::unique_ptr<BFLYDATA> data;  // none until loaded
  bool loaded = false;             // the type loaded whole; `data` is ready
  uint8_t infoByte = 0;            // header byte, not interpreted
  uint32_t flags = 0;              // header flags word, not interpreted

  // Loads the type from `folder` joined with `fileName` at the given size
  // factor, once: true at once when `loaded` is already set. Reports
  // "Unable to load currency!" through ERRORCLOSE when the file does not
  // open, and "Unable to allocate memory!" when memory runs out while the
  // type is built. Otherwise returns BFLYDATA::Load's result and sets `loaded` only
  // when it succeeded; a type that failed is released, so the next call
  // tries again and fails again rather than reporting success. Needs the
  // OpenGL context current (textures are built).
  bool LoadData(const char* folder, float size);
};
