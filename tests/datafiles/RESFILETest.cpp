#include "datafiles/RESFILE.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tools/LumpWriter.h"

namespace {

std::vector<LumpSpec> TwoLumps() {
  std::vector<LumpSpec> lumps(2);
  lumps[0].bytes = "banner";
  lumps[0].alphaMode = 2;
  lumps[1].bytes = "message";
  lumps[1].type = 7;
  lumps[1].alphaMode = -1;
  return lumps;
}

}  // namespace

TEST(RESFILE, OpensWhateverTheReservedBytesHold) {
  TempDir dir;
  LumpFileOverrides o;
  o.reservedFill = 0xab;
  const std::string bytes = MakeResFile(TwoLumps(), o);
  RESFILE file;
  ASSERT_TRUE(file.Open(dir.Write("r.qorf", bytes).c_str()));
  EXPECT_EQ(file.fileLength, bytes.size());
  EXPECT_EQ(std::memcmp(file.header.magic, "QORF", 4), 0);
  EXPECT_EQ(file.header.lumpCount, 2u);
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
  ASSERT_TRUE(file.SeekLump(0));
  char b[6];
  file.stream.read(b, 6);
  EXPECT_EQ(std::string(b, 6), "banner");
  EXPECT_FALSE(file.SeekLump(2));
  EXPECT_FALSE(file.SeekLump(-1));
}

TEST(RESFILE, RefusesUnsoundFiles) {
  TempDir dir;
  auto opens = [&](const std::string& bytes) {
    RESFILE file;
    const bool ok = file.Open(dir.Write("x.qorf", bytes).c_str());
    EXPECT_EQ(ok, file.stream.is_open());
    return ok;
  };
  const std::string good = MakeResFile(TwoLumps());
  ASSERT_TRUE(opens(good));
  EXPECT_FALSE(opens(good.substr(0, 23)));
  EXPECT_FALSE(opens(good + "!"));
  EXPECT_FALSE(opens("BFLY" + good.substr(4)));
  {
    BflyHeaderSpec h;
    EXPECT_FALSE(opens(MakeBflyFile(h, TwoLumps())));
  }
  {
    LumpFileOverrides o;
    o.lengthCheck = static_cast<uint32_t>(good.size());
    EXPECT_FALSE(opens(MakeResFile(TwoLumps(), o)));
  }
  {
    LumpFileOverrides o;
    o.lumpCount = 0x20000000u;  // 15 GB of entries in a 100-byte file
    EXPECT_FALSE(opens(MakeResFile(TwoLumps(), o)));
    o.lumpCount = 3;
    EXPECT_FALSE(opens(MakeResFile(TwoLumps(), o)));
  }
  {
    // Room for the 16 bytes a butterfly entry would take, not for 28.
    LumpFileOverrides o;
    o.trailer = std::string(16, '\0');
    o.lumpCount = 3;
    EXPECT_FALSE(opens(MakeResFile(TwoLumps(), o)));
    o.trailer = std::string(28, '\0');
    EXPECT_TRUE(opens(MakeResFile(TwoLumps(), o)));
  }
  {
    RESFILE file;
    ASSERT_TRUE(file.Open(dir.Write("empty.qorf", MakeResFile({})).c_str()));
    EXPECT_TRUE(file.directory.empty());
    EXPECT_FALSE(file.SeekLump(0));
  }
}
