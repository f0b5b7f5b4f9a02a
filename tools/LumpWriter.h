#pragma once
// Builds lump container files ("BFLY" butterfly types, "QORF" resource files)
// from their parts, for tests, fuzz seeds and content tools. Never linked into
// the product.
//
// Layout written: the header, then the lumps in order, then the directory;
// the length check is the complement of the final length. Every computed
// header field can be overridden to build deliberately broken files.
// Files are returned as byte strings (std::string holds any bytes).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct LumpSpec {
  std::string bytes;       // lump contents
  uint32_t type = 1;       // 1: TGA image
  int32_t alphaMode = 0;   // 1 colour key, 2 brightness, else opaque
  // Directory values written instead of the lump's real position or length.
  std::optional<uint32_t> offset;
  std::optional<uint32_t> size;
};

// Values written instead of the computed ones, and filler for reserved bytes.
struct LumpFileOverrides {
  std::optional<uint32_t> lumpCount;
  std::optional<uint32_t> lengthCheck;
  std::optional<uint32_t> directoryOffset;
  uint8_t reservedFill = 0;  // every reserved header and entry byte
  std::string trailer;       // bytes appended after the directory, counted in the length
};

struct BflyHeaderSpec {
  std::string name;  // the first 40 bytes are written, NUL-padded (40 bytes leave no terminator)
  uint8_t versionMinor = 0;
  uint8_t versionMajor = 1;
  uint32_t flags = 0;
  uint8_t infoByte = 0;
  uint8_t modelScale = 100;  // per cent
  uint8_t hasAlphaLump = 0;
};

std::string MakeBflyFile(const BflyHeaderSpec& header, const std::vector<LumpSpec>& lumps,
                         const LumpFileOverrides& overrides = {});
std::string MakeResFile(const std::vector<LumpSpec>& lumps, const LumpFileOverrides& overrides = {});

// Writes `bytes` to `path`, replacing it; false when that fails.
bool WriteBytes(const std::string& path, const std::string& bytes);
