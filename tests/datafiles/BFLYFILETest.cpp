#include "datafiles/BFLYFILE.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "datafiles/RESFILE.h"
#include "models/MS3D.h"
#include "tests/support/TempDir.h"
#include "tools/LumpWriter.h"
#include "tools/TgaWriter.h"
#include "util/Texture.h"

namespace {

std::vector<LumpSpec> ThreeLumps() {
  std::vector<LumpSpec> lumps(3);
  lumps[0].bytes = "model bytes";
  lumps[0].type = 0;
  lumps[1].bytes = "first image";
  lumps[1].alphaMode = 1;
  lumps[2].bytes = "second";
  lumps[2].alphaMode = -7;
  return lumps;
}

BflyHeaderSpec Header() {
  BflyHeaderSpec h;
  h.name = "Peacock";
  return h;
}

std::string ReadFromStream(BFLYFILE& file, size_t n) {
  std::string s(n, '\0');
  file.stream.read(s.data(), static_cast<std::streamsize>(n));
  return file.stream ? s : std::string("<read failed>");
}

}  // namespace

TEST(BFLYFILE, OpensSoundFileWithHeaderAndDirectory) {
  TempDir dir;
  BflyHeaderSpec h = Header();
  h.versionMinor = 0;
  h.versionMajor = 1;
  h.flags = 0x80000002u;
  h.infoByte = 9;
  h.modelScale = 150;
  h.hasAlphaLump = 1;
  const std::string bytes = MakeBflyFile(h, ThreeLumps());
  const std::string path = dir.Write("a.bfly", bytes);

  BFLYFILE file;
  EXPECT_EQ(file.fileLength, 0u);
  ASSERT_TRUE(file.Open(path.c_str()));
  EXPECT_EQ(file.fileLength, bytes.size());
  EXPECT_STREQ(file.header.name, "Peacock");
  EXPECT_EQ(std::memcmp(file.header.magic, "BFLY", 4), 0);
  EXPECT_EQ(file.header.versionMajor, 1);
  EXPECT_EQ(file.header.flags, 0x80000002u);
  EXPECT_EQ(file.header.lumpCount, 3u);
  EXPECT_EQ(file.header.lengthCheck, ~static_cast<uint32_t>(bytes.size()));
  EXPECT_EQ(file.header.infoByte, 9);
  EXPECT_EQ(file.header.modelScale, 150);
  EXPECT_EQ(file.header.hasAlphaLump, 1);
  ASSERT_EQ(file.directory.size(), 3u);
  EXPECT_EQ(file.directory[0].offset, 68u);
  EXPECT_EQ(file.directory[0].size, 11u);
  EXPECT_EQ(file.directory[0].type, 0u);
  EXPECT_EQ(file.directory[1].type, 1u);
  EXPECT_EQ(file.directory[1].alphaMode, 1);
  EXPECT_EQ(file.directory[2].alphaMode, -7);

  // Lumps in any order, through the stream and whole.
  ASSERT_TRUE(file.SeekLump(2));
  EXPECT_EQ(ReadFromStream(file, 6), "second");
  ASSERT_TRUE(file.SeekLump(0));
  EXPECT_EQ(ReadFromStream(file, 11), "model bytes");
  std::unique_ptr<uint8_t[]> data;
  ASSERT_TRUE(file.LoadData(1, &data));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data.get()), 11), "first image");

  // Out-of-range indices fail without moving the stream.
  ASSERT_TRUE(file.SeekLump(0));
  EXPECT_FALSE(file.SeekLump(3));
  EXPECT_FALSE(file.SeekLump(-1));
  EXPECT_FALSE(file.LoadData(3, &data));
  EXPECT_FALSE(file.LoadData(-1, &data));
  EXPECT_EQ(file.stream.tellg(), 68);

  file.Close();
  EXPECT_TRUE(file.directory.empty());
  EXPECT_FALSE(file.stream.is_open());
  EXPECT_FALSE(file.SeekLump(0));
  EXPECT_FALSE(file.LoadData(0, &data));
  file.Close();  // twice is harmless
}

TEST(BFLYFILE, NameOfFortyBytesIsTerminated) {
  TempDir dir;
  BflyHeaderSpec h = Header();
  h.name = std::string(40, 'n') + "overflow";
  BFLYFILE file;
  ASSERT_TRUE(file.Open(dir.Write("n.bfly", MakeBflyFile(h, ThreeLumps())).c_str()));
  EXPECT_EQ(std::string(file.header.name), std::string(40, 'n'));
}

TEST(BFLYFILE, RefusesUnsoundFiles) {
  TempDir dir;
  const std::string good = MakeBflyFile(Header(), ThreeLumps());
  auto refused = [&](const std::string& bytes) {
    BFLYFILE file;
    if (file.Open(dir.Write("x.bfly", bytes).c_str())) return false;
    // A refused file leaves nothing to read.
    EXPECT_FALSE(file.stream.is_open());
    EXPECT_TRUE(file.directory.empty());
    EXPECT_FALSE(file.SeekLump(0));
    return true;
  };
  ASSERT_FALSE(refused(good));
  {
    BFLYFILE file;
    EXPECT_FALSE(file.Open(dir.File("missing.bfly").c_str()));
    EXPECT_FALSE(file.Open(nullptr));
  }
  EXPECT_TRUE(refused(""));
  EXPECT_TRUE(refused(good.substr(0, 67)));  // shorter than the header
  {
    std::string wrongMagic = good;
    wrongMagic[43] = 'Z';
    EXPECT_TRUE(refused(wrongMagic));
  }
  {
    LumpFileOverrides o;
    o.lengthCheck = static_cast<uint32_t>(good.size());  // the length, not its complement
    EXPECT_TRUE(refused(MakeBflyFile(Header(), ThreeLumps(), o)));
  }
  EXPECT_TRUE(refused(good + "x"));                      // extended
  EXPECT_TRUE(refused(good.substr(0, good.size() - 1)));  // truncated
  EXPECT_TRUE(refused(MakeResFile(ThreeLumps())));        // the other kind
}

TEST(BFLYFILE, VersionAndFlagRules) {
  TempDir dir;
  auto opens = [&](uint8_t major, uint8_t minor, uint32_t flags) {
    BflyHeaderSpec h = Header();
    h.versionMajor = major;
    h.versionMinor = minor;
    h.flags = flags;
    BFLYFILE file;
    return file.Open(dir.Write("v.bfly", MakeBflyFile(h, ThreeLumps())).c_str());
  };
  EXPECT_TRUE(opens(1, 0, 0));
  EXPECT_TRUE(opens(0, 0, 0));
  EXPECT_TRUE(opens(0, 255, 0));
  EXPECT_FALSE(opens(1, 1, 0));
  EXPECT_FALSE(opens(2, 0, 0));
  EXPECT_FALSE(opens(255, 0, 0));
  EXPECT_TRUE(opens(1, 0, 2));
  EXPECT_TRUE(opens(1, 0, 0xfffffffeu));
  EXPECT_FALSE(opens(1, 0, 1));
  EXPECT_FALSE(opens(1, 0, 3));
}

TEST(BFLYFILE, DirectoryMustLieInsideTheFile) {
  TempDir dir;
  auto opens = [&](const std::vector<LumpSpec>& lumps, const LumpFileOverrides& o) {
    BFLYFILE file;
    return file.Open(dir.Write("d.bfly", MakeBflyFile(Header(), lumps, o)).c_str());
  };
  {
    // No lumps: an empty directory, and no lump to seek.
    BFLYFILE file;
    ASSERT_TRUE(file.Open(dir.Write("e.bfly", MakeBflyFile(Header(), {})).c_str()));
    EXPECT_EQ(file.header.lumpCount, 0u);
    EXPECT_TRUE(file.directory.empty());
    EXPECT_FALSE(file.SeekLump(0));
  }
  {
    // A header claiming four billion entries is refused before anything is
    // allocated (64 GB otherwise).
    LumpFileOverrides o;
    o.lumpCount = 0xffffffffu;
    EXPECT_FALSE(opens(ThreeLumps(), o));
  }
  {
    LumpFileOverrides o;
    o.lumpCount = 4;  // one entry more than the file holds
    EXPECT_FALSE(opens(ThreeLumps(), o));
  }
  {
    // Fewer entries than stored is fine: the rest is just bytes.
    LumpFileOverrides o;
    o.lumpCount = 2;
    EXPECT_TRUE(opens(ThreeLumps(), o));
  }
  {
    // The directory may lie anywhere inside the file, here over the lumps.
    LumpFileOverrides o;
    o.directoryOffset = 68;
    o.lumpCount = 1;
    EXPECT_TRUE(opens(ThreeLumps(), o));
  }
  {
    LumpFileOverrides o;
    o.directoryOffset = 0xfffffff0u;
    EXPECT_FALSE(opens(ThreeLumps(), o));
    o.lumpCount = 0;  // even an empty directory must not lie past the end
    EXPECT_FALSE(opens(ThreeLumps(), o));
  }
}

TEST(BFLYFILE, LumpsPastTheEndFailTheirRead) {
  TempDir dir;
  std::vector<LumpSpec> lumps = ThreeLumps();
  lumps[0].offset = 0x7fffff00u;  // far past the end
  lumps[1].size = 0xffffffffu;    // runs past the end
  lumps[2].size = 0;              // empty, but inside
  const std::string path = dir.Write("p.bfly", MakeBflyFile(Header(), lumps));
  BFLYFILE file;
  ASSERT_TRUE(file.Open(path.c_str()));

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

TEST(BFLYFILE, FormatReaderReadsLumpsFromTheStream) {
  TempDir dir;
  TgaImage red{2, 1, 24, {255, 0, 0, 250, 1, 2}};
  TgaImage clear{1, 1, 32, {1, 2, 3, 4}};
  std::vector<LumpSpec> lumps(3);
  lumps[0].bytes = "model";
  lumps[1].bytes = MakeTga(red, false);
  lumps[2].bytes = MakeTga(clear, true);

  BFLYFILE file;
  ASSERT_TRUE(file.Open(dir.Write("t.bfly", MakeBflyFile(Header(), lumps)).c_str()));
  Texture second, first;
  ASSERT_TRUE(file.SeekLump(2));
  ASSERT_TRUE(LoadTGA2(&second, &file.stream));
  ASSERT_TRUE(file.SeekLump(1));
  ASSERT_TRUE(LoadTGA2(&first, &file.stream));
  EXPECT_EQ(std::vector<uint8_t>(first.imageData.get(), first.imageData.get() + 6), red.pixels);
  EXPECT_EQ(std::vector<uint8_t>(second.imageData.get(), second.imageData.get() + 4), clear.pixels);
  EXPECT_EQ(second.bpp, 32u);
}

TEST(BFLYFILE, ReopensAnotherFile) {
  TempDir dir;
  BflyHeaderSpec other = Header();
  other.name = "Swallowtail";
  const std::string a = dir.Write("a.bfly", MakeBflyFile(Header(), ThreeLumps()));
  const std::string b = dir.Write("b.bfly", MakeBflyFile(other, {}));
  BFLYFILE file;
  ASSERT_TRUE(file.Open(a.c_str()));
  ASSERT_TRUE(file.Open(b.c_str()));
  EXPECT_STREQ(file.header.name, "Swallowtail");
  EXPECT_TRUE(file.directory.empty());
  ASSERT_TRUE(file.Open(a.c_str()));
  EXPECT_EQ(file.directory.size(), 3u);
}

TEST(DataFiles, EveryReaderRefusesAFifoOrAFolderWithoutWaiting) {
  // A FIFO under a data file's name used to block the open for good (the
  // saver hung); a folder is no file either. Each reader says no at once.
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  for (const std::string& path : {dir.File("fifo"), dir.path()}) {
    SCOPED_TRACE(path);
    BFLYFILE type;
    EXPECT_FALSE(type.Open(path.c_str()));
    RESFILE resources;
    EXPECT_FALSE(resources.Open(path.c_str()));
    Texture texture;
    EXPECT_FALSE(LoadTGA(&texture, path.c_str()));
    MS3D model;
    EXPECT_FALSE(model.Load(path.c_str()));
  }
}
