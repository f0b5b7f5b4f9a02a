#include "datafiles/BFLYFILE.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "datafiles/RESFILE.h"
#include "models/MS3D.h"
#include "tests/support/TempDir.h"
#include "tools/LumpWriter.h"
#include "util/Texture.h"

namespace {

LumpSpec Lump(std::string bytes, uint32_t type = 1, int32_t alphaMode = 0) {
  return {std::move(bytes), type, alphaMode, {}, {}};
}

std::vector<LumpSpec> ThreeLumps() { return {Lump("model bytes", 0), Lump("first image", 1, 1), Lump("second", 1, -7)}; }

std::string File(uint8_t major = 1, uint8_t minor = 0, uint32_t flags = 0, LumpFileOverrides o = {},
                 std::vector<LumpSpec> lumps = ThreeLumps()) {
  BflyHeaderSpec h;
  h.name = "Peacock";
  h.versionMajor = major;
  h.versionMinor = minor;
  h.flags = flags;
  return MakeBflyFile(h, lumps, o);
}

LumpFileOverrides Count(uint32_t lumpCount, std::optional<uint32_t> directoryOffset = {}) {
  LumpFileOverrides o;
  o.lumpCount = lumpCount;
  o.directoryOffset = directoryOffset;
  return o;
}

std::string ReadFromStream(BFLYFILE& file, size_t n) {
  std::string s(n, '\0');
  file.stream.read(s.data(), static_cast<std::streamsize>(n));
  return file.stream ? s : std::string("<read failed>");
}

}  // namespace

TEST(BFLYFILE, OpensATypeFileWithHeaderAndDirectory) {
  TempDir dir;
  BflyHeaderSpec h;
  h.name = std::string(40, 'n') + "overflow";  // 40 bytes leave no terminator
  h.flags = 0x80000002u;
  h.infoByte = 9;
  h.modelScale = 150;
  h.hasAlphaLump = 1;
  const std::string bytes = MakeBflyFile(h, ThreeLumps());
  BFLYFILE file;
  ASSERT_TRUE(file.Open(dir.Write("a.bfly", bytes).c_str()));
  EXPECT_EQ(file.fileLength, bytes.size());
  EXPECT_EQ(std::string(file.header.name), std::string(40, 'n'));
  const BFLYHEADER& hd = file.header;
  EXPECT_EQ(hd.flags, 0x80000002u);
  EXPECT_EQ(hd.lengthCheck, ~static_cast<uint32_t>(bytes.size()));
  EXPECT_TRUE(hd.lumpCount == 3 && hd.infoByte == 9 && hd.modelScale == 150 && hd.hasAlphaLump == 1);
  ASSERT_EQ(file.directory.size(), 3u);
  const BFLYLUMP& lump = file.directory[2];
  EXPECT_TRUE(lump.offset == 68 + 11 + 11 && lump.size == 6 && lump.type == 1 && lump.alphaMode == -7);

  // Lumps in any order, through the stream and whole; indices outside the
  // directory fail without moving the stream.
  ASSERT_TRUE(file.SeekLump(2));
  EXPECT_EQ(ReadFromStream(file, 6), "second");
  std::unique_ptr<uint8_t[]> data;
  ASSERT_TRUE(file.LoadData(1, &data));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data.get()), 11), "first image");
  ASSERT_TRUE(file.SeekLump(0));
  for (int bad : {3, -1}) EXPECT_FALSE(file.SeekLump(bad) || file.LoadData(bad, &data)) << bad;
  EXPECT_EQ(file.stream.tellg(), 68);

  // Opening another file replaces everything; closing leaves nothing.
  ASSERT_TRUE(file.Open(dir.Write("b.bfly", File(1, 0, 0, {}, {})).c_str()));
  EXPECT_STREQ(file.header.name, "Peacock");
  EXPECT_TRUE(file.directory.empty());
  file.Close();
  EXPECT_FALSE(file.stream.is_open());
  EXPECT_FALSE(file.SeekLump(0) || file.LoadData(0, &data));
  file.Close();  // twice is harmless
}

TEST(BFLYFILE, RefusesUnsoundFiles) {
  TempDir dir;
  const std::string good = File();
  std::string wrongMagic = good;
  wrongMagic[43] = 'Z';
  LumpFileOverrides length;
  length.lengthCheck = static_cast<uint32_t>(good.size());  // the length, not its complement
  const struct {
    const char* what;
    std::string bytes;
    bool opens;
  } rows[] = {
      {"sound", good, true},
      {"empty", "", false},
      {"shorter than the header", good.substr(0, 67), false},
      {"wrong magic", wrongMagic, false},
      {"length not complemented", File(1, 0, 0, length), false},
      {"extended", good + "x", false},
      {"truncated", good.substr(0, good.size() - 1), false},
      {"a resource file", MakeResFile(ThreeLumps()), false},
      {"version 0.0", File(0, 0), true},
      {"version 0.255", File(0, 255), true},
      {"version 1.1", File(1, 1), false},
      {"version 2.0", File(2, 0), false},
      {"version 255.0", File(255, 0), false},
      {"flags 2", File(1, 0, 2), true},
      {"flags 0xfffffffe", File(1, 0, 0xfffffffeu), true},
      {"flags 1", File(1, 0, 1), false},
      {"flags 3", File(1, 0, 3), false},
      {"no lumps", File(1, 0, 0, {}, {}), true},
      {"four billion entries (64 GB)", File(1, 0, 0, Count(0xffffffffu)), false},
      {"one entry more than stored", File(1, 0, 0, Count(4)), false},
      {"fewer entries than stored", File(1, 0, 0, Count(2)), true},
      {"directory over the lumps", File(1, 0, 0, Count(1, 68)), true},
      {"directory past the end", File(1, 0, 0, Count(3, 0xfffffff0u)), false},
      {"empty directory past the end", File(1, 0, 0, Count(0, 0xfffffff0u)), false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    BFLYFILE file;
    EXPECT_EQ(file.Open(dir.Write("x.bfly", row.bytes).c_str()), row.opens);
    EXPECT_EQ(file.stream.is_open(), row.opens);
    EXPECT_TRUE(row.opens || file.directory.empty());
  }
  BFLYFILE file;
  EXPECT_FALSE(file.Open(dir.File("missing.bfly").c_str()));
  EXPECT_FALSE(file.Open(nullptr));
}

TEST(BFLYFILE, LumpsPastTheEndFailTheirRead) {
  TempDir dir;
  std::vector<LumpSpec> lumps = ThreeLumps();
  lumps[0].offset = 0x7fffff00u;  // far past the end
  lumps[1].size = 0xffffffffu;    // runs past the end
  lumps[2].size = 0;              // empty, but inside
  BFLYFILE file;
  ASSERT_TRUE(file.Open(dir.Write("p.bfly", File(1, 0, 0, {}, lumps)).c_str()));
  std::unique_ptr<uint8_t[]> data;
  // Seeking past the end is allowed; the read that follows fails.
  ASSERT_TRUE(file.SeekLump(0));
  EXPECT_EQ(ReadFromStream(file, 1), "<read failed>");
  EXPECT_FALSE(file.LoadData(0, &data));
  EXPECT_FALSE(file.LoadData(1, &data));  // refused before allocating 4 GB
  EXPECT_EQ(data, nullptr);
  // A failed read does not spoil the next lump.
  ASSERT_TRUE(file.SeekLump(2));
  EXPECT_TRUE(file.LoadData(2, &data));
  EXPECT_NE(data, nullptr);
}

TEST(DataFiles, EveryReaderRefusesAFifoOrAFolderWithoutWaiting) {
  // A FIFO under a data file's name used to block the open for good (the
  // saver hung); a folder is no file either. Each reader says no at once.
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  for (const std::string& path : {dir.File("fifo"), dir.path()}) {
    SCOPED_TRACE(path);
    BFLYFILE type;
    RESFILE resources;
    Texture texture;
    MS3D model;
    EXPECT_FALSE(type.Open(path.c_str()));
    EXPECT_FALSE(resources.Open(path.c_str()));
    EXPECT_FALSE(LoadTGA(&texture, path.c_str()));
    EXPECT_FALSE(model.Load(path.c_str()));
  }
}
