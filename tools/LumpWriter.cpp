#include "tools/LumpWriter.h"

#include <fstream>

#include "tools/ByteWriter.h"

namespace {

// Reserved bytes at the end of a directory entry: none in a "BFLY" file
// (16-byte entries), 12 in a "QORF" file (28-byte entries).
constexpr uint32_t kBflyEntryTail = 0;
constexpr uint32_t kResEntryTail = 12;

struct Layout {
  std::vector<uint32_t> offsets;  // of each lump
  uint32_t directoryOffset = 0;
};

// Appends the lumps after the header already in `out`.
Layout AppendLumps(std::string* out, const std::vector<LumpSpec>& lumps) {
  Layout layout;
  for (const LumpSpec& lump : lumps) {
    layout.offsets.push_back(static_cast<uint32_t>(out->size()));
    out->append(lump.bytes);
  }
  layout.directoryOffset = static_cast<uint32_t>(out->size());
  return layout;
}

void AppendEntry(std::string* out, const LumpSpec& lump, uint32_t offset, uint32_t tail,
                 uint8_t fill) {
  PutU32(out, lump.size.value_or(static_cast<uint32_t>(lump.bytes.size())));
  PutU32(out, lump.offset.value_or(offset));
  PutU32(out, lump.type);
  PutU32(out, static_cast<uint32_t>(lump.alphaMode));
  out->append(tail, static_cast<char>(fill));
}

// Writes the header's lumpCount, lengthCheck and directoryOffset at `at`
// once the length is known.
void FinishCounts(std::string* out, size_t at, uint32_t count, uint32_t directoryOffset,
                  const LumpFileOverrides& o) {
  out->append(o.trailer);
  SetU32(out, at, o.lumpCount.value_or(count));
  SetU32(out, at + 4, o.lengthCheck.value_or(~static_cast<uint32_t>(out->size())));
  SetU32(out, at + 8, o.directoryOffset.value_or(directoryOffset));
}

}  // namespace

std::string MakeBflyFile(const BflyHeaderSpec& header, const std::vector<LumpSpec>& lumps,
                         const LumpFileOverrides& overrides) {
  const char fill = static_cast<char>(overrides.reservedFill);
  std::string out;
  std::string name = header.name.substr(0, 40);
  name.resize(40, '\0');
  out += name;
  out += "BFLY";
  PutU8(&out, header.versionMinor);
  PutU8(&out, header.versionMajor);
  out.append(2, fill);
  PutU32(&out, header.flags);
  const size_t counts = out.size();
  out.append(12, '\0');  // lumpCount, lengthCheck, directoryOffset: set last
  PutU8(&out, header.infoByte);
  PutU8(&out, header.modelScale);
  PutU8(&out, header.hasAlphaLump);
  out.append(1, fill);

  const Layout layout = AppendLumps(&out, lumps);
  for (size_t i = 0; i < lumps.size(); ++i)
    AppendEntry(&out, lumps[i], layout.offsets[i], kBflyEntryTail, overrides.reservedFill);
  FinishCounts(&out, counts, static_cast<uint32_t>(lumps.size()), layout.directoryOffset,
               overrides);
  return out;
}

std::string MakeResFile(const std::vector<LumpSpec>& lumps, const LumpFileOverrides& overrides) {
  std::string out = "QORF";
  out.append(8, static_cast<char>(overrides.reservedFill));
  const size_t counts = out.size();
  out.append(12, '\0');

  const Layout layout = AppendLumps(&out, lumps);
  for (size_t i = 0; i < lumps.size(); ++i)
    AppendEntry(&out, lumps[i], layout.offsets[i], kResEntryTail, overrides.reservedFill);
  FinishCounts(&out, counts, static_cast<uint32_t>(lumps.size()), layout.directoryOffset,
               overrides);
  return out;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}
