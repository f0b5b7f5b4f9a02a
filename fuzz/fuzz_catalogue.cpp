// Fuzz target for the catalogue of downloadable types: the input is a whole
// catalogue body as a server sends it; every string it yields is split into
// an entry, and so is the input itself taken as one line.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/CatalogueLine.h"

namespace {

// Names and locations always end within their buffers; a hash is empty or
// 64 lower-case hex digits.
void Check(const DOWNLOADDATA& e) {
  if (std::memchr(e.name, 0, sizeof e.name) == nullptr) __builtin_trap();
  if (std::memchr(e.location, 0, sizeof e.location) == nullptr) __builtin_trap();
  const size_t hash = std::strlen(e.sha256);
  if (hash != 0 && hash != 64) __builtin_trap();
  if (e.size < -1) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* body = reinterpret_cast<const char*>(data);
  std::vector<std::string> lines;
  if (ParseCatalogue(body, size, &lines)) {
    for (const std::string& line : lines) {
      DOWNLOADDATA entry;
      if (SplitCatalogueLine(line, &entry)) Check(entry);
    }
  }
  DOWNLOADDATA entry;
  if (SplitCatalogueLine(std::string(body, size), &entry)) Check(entry);
  return 0;
}
