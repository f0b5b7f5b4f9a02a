#include "datafiles/RESFILE.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tools/LumpWriter.h"

namespace {

std::vector<LumpSpec> TwoLumps() {
  return {LumpSpec{"banner", 1, 2, {}, {}}, LumpSpec{"message", 7, -1, {}, {}}};
}

LumpFileOverrides Overrides(std::optional<uint32_t> lumpCount, std::string trailer = "") {
  LumpFileOverrides o;
  o.lumpCount = lumpCount;
  o.trailer = std::move(trailer);
  return o;
}

}  // namespace

TEST(RESFILE, OpensWhateverTheReservedBytesHold) {
  TempDir dir;
  LumpFileOverrides o;
  o.reservedFill = 0xab;
  const std::string bytes = MakeResFile(TwoLumps(), o);
  RESFILE file;
  ASSERT_TRUE(file.Open(dir.Write("r.qorf", bytes).c_str()));
  EXPECT_EQ(file.header.directoryOffset, 24u + 6 + 7);
  ASSERT_EQ(file.directory.size(), 2u);
  // The second entry starts 28 bytes after the first: the tails are skipped.
  EXPECT_EQ(file.directory[0].offset, 24u);
  EXPECT_EQ(file.directory[0].alphaMode, 2);
  EXPECT_EQ(file.directory[1].offset, 30u);
  EXPECT_EQ(file.directory[1].size, 7u);
  EXPECT_EQ(file.directory[1].type, 7u);
  EXPECT_EQ(file.directory[1].alphaMode, -1);
  std::unique_ptr<uint8_t[]> data;
  ASSERT_TRUE(file.LoadData(1, &data));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data.get()), 7), "message");
  EXPECT_FALSE(file.SeekLump(2) || file.SeekLump(-1));
}

TEST(RESFILE, RefusesUnsoundFiles) {
  TempDir dir;
  const std::string good = MakeResFile(TwoLumps());
  LumpFileOverrides length;
  length.lengthCheck = static_cast<uint32_t>(good.size());
  const struct {
    const char* what;
    std::string bytes;
    bool opens;
  } rows[] = {
      {"sound", good, true},
      {"no lumps", MakeResFile({}), true},
      {"shorter than the header", good.substr(0, 23), false},
      {"extended", good + "!", false},
      {"wrong magic", "BFLY" + good.substr(4), false},
      {"a butterfly file", MakeBflyFile(BflyHeaderSpec{}, TwoLumps()), false},
      {"length not complemented", MakeResFile(TwoLumps(), length), false},
      {"15 GB of entries in 100 bytes", MakeResFile(TwoLumps(), Overrides(0x20000000u)), false},
      {"one entry more", MakeResFile(TwoLumps(), Overrides(3)), false},
      // Room for the 16 bytes a butterfly entry would take, not for 28.
      {"room for a short entry", MakeResFile(TwoLumps(), Overrides(3, std::string(16, '\0'))), false},
      {"room for an entry", MakeResFile(TwoLumps(), Overrides(3, std::string(28, '\0'))), true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    RESFILE file;
    EXPECT_EQ(file.Open(dir.Write("x.qorf", row.bytes).c_str()), row.opens);
    EXPECT_EQ(file.stream.is_open(), row.opens);
  }
}
