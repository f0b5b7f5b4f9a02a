// The two lump containers: butterfly types ("BFLY": 68-byte header, 16-byte
// entries) and resource files ("QORF": 24-byte header, 28-byte entries).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "datafiles/BFLYFILE.h"
#include "datafiles/RESFILE.h"
#include "tests/support/TempDir.h"
#include "tools/LumpWriter.h"

namespace {

const std::vector<LumpSpec> kLumps = {
    {"model bytes", 0, 0, {}, {}}, {"first image", 1, 1, {}, {}}, {"second", 1, -7, {}, {}}};

std::string U32(uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}

// `bytes` with each (offset, replacement) edit made in place.
std::string Spoiled(std::string bytes,
                    std::initializer_list<std::pair<size_t, std::string>> edits) {
  for (const auto& [at, with] : edits) bytes.replace(at, with.size(), with);
  return bytes;
}

std::string TypeFile(uint8_t major, uint8_t minor, uint32_t flags = 0) {
  return MakeBflyFile({.name = "", .versionMinor = minor, .versionMajor = major, .flags = flags},
                      kLumps);
}

// Offset, size, type and alpha rule of each directory entry.
using Entry = std::tuple<uint32_t, uint32_t, uint32_t, int32_t>;
template <class Lump>
std::vector<Entry> Entries(const std::vector<Lump>& directory) {
  std::vector<Entry> entries;
  for (const Lump& e : directory) entries.emplace_back(e.offset, e.size, e.type, e.alphaMode);
  return entries;
}

template <class File>
std::string Contents(File& file, int index) {
  std::unique_ptr<uint8_t[]> data;
  if (!file.LoadData(index, &data)) return "<refused>";
  return std::string(reinterpret_cast<char*>(data.get()), file.directory[index].size);
}

}  // namespace

TEST(LumpFiles, ReadHeaderDirectoryAndLumpsOfBothKinds) {
  TempDir dir;
  // 40 bytes of name leave no terminator.
  const BflyHeaderSpec h{.name = std::string(40, 'n') + "overflow", .flags = 0x80000002u,
                         .infoByte = 9, .modelScale = 150, .hasAlphaLump = 1};
  BFLYFILE file;
  ASSERT_TRUE(file.Open(dir.Write("a.bfly", MakeBflyFile(h, kLumps)).c_str()));
  const BFLYHEADER& hd = file.header;
  EXPECT_EQ(std::string(hd.name), std::string(40, 'n'));
  EXPECT_TRUE(hd.flags == 0x80000002u && hd.lumpCount == 3 && hd.infoByte == 9 &&
              hd.modelScale == 150 && hd.hasAlphaLump == 1);
  EXPECT_EQ(Entries(file.directory),
            (std::vector<Entry>{{68, 11, 0, 0}, {79, 11, 1, 1}, {90, 6, 1, -7}}));
  // Lumps in any order, through the stream and whole; indices outside the
  // directory fail without moving the stream.
  ASSERT_TRUE(file.SeekLump(2));
  std::string read(6, '\0');
  EXPECT_TRUE(file.stream.read(read.data(), 6) && read == "second");
  EXPECT_EQ(Contents(file, 1), "first image");
  ASSERT_TRUE(file.SeekLump(0));
  for (int bad : {3, -1}) {
    EXPECT_FALSE(file.SeekLump(bad));
    EXPECT_EQ(Contents(file, bad), "<refused>");
  }
  EXPECT_EQ(file.stream.tellg(), 68);

  // Whatever the reserved bytes hold; each entry's 12-byte tail is skipped.
  RESFILE resources;
  LumpFileOverrides reserved;
  reserved.reservedFill = 0xab;
  ASSERT_TRUE(resources.Open(dir.Write("r.qorf", MakeResFile(kLumps, reserved)).c_str()));
  EXPECT_EQ(resources.header.directoryOffset, 24u + 28);
  EXPECT_EQ(Entries(resources.directory),
            (std::vector<Entry>{{24, 11, 0, 0}, {35, 11, 1, 1}, {46, 6, 1, -7}}));
  EXPECT_EQ(Contents(resources, 2), "second");
  EXPECT_FALSE(resources.SeekLump(3) || resources.SeekLump(-1));

  // Lumps past the end: seeking there is allowed, the read that follows
  // fails and does not spoil the next lump.
  std::vector<LumpSpec> lumps = kLumps;
  lumps[0].offset = 0x7fffff00u;  // far past the end
  lumps[1].size = 0xffffffffu;    // runs past the end: refused before allocating 4 GB
  lumps[2].size = 0;              // empty, but inside
  ASSERT_TRUE(file.Open(dir.Write("p.bfly", MakeBflyFile(BflyHeaderSpec{}, lumps)).c_str()));
  ASSERT_TRUE(file.SeekLump(0));
  EXPECT_EQ(file.stream.get(), EOF);
  EXPECT_EQ((std::vector<std::string>{Contents(file, 0), Contents(file, 1), Contents(file, 2)}),
            (std::vector<std::string>{"<refused>", "<refused>", ""}));
}

TEST(LumpFiles, RefuseUnsoundFiles) {
  TempDir dir;
  const std::string type = MakeBflyFile(BflyHeaderSpec{}, kLumps), res = MakeResFile(kLumps);
  const auto extra = [](size_t bytes) {  // one entry more, `bytes` of room after the directory
    LumpFileOverrides o;
    o.lumpCount = 4;
    o.trailer = std::string(bytes, '\0');
    return MakeResFile(kLumps, o);
  };
  // Type files: count at 52, length check at 56, directory offset at 60.
  // Resource files: count at 12, length check at 16.
  const struct {
    const char* what;
    bool typeFile;
    std::string bytes;
    bool opens;
  } rows[] = {
      {"sound type", true, type, true},
      {"no lumps", true, MakeBflyFile(BflyHeaderSpec{}, {}), true},
      {"shorter than the header", true, type.substr(0, 67), false},
      {"wrong magic", true, Spoiled(type, {{43, "Z"}}), false},
      {"length not complemented", true, Spoiled(type, {{56, U32(type.size())}}), false},
      {"extended", true, type + "x", false},
      {"version 0.255", true, TypeFile(0, 255), true},
      {"version 1.1", true, TypeFile(1, 1), false},
      {"version 2.0", true, TypeFile(2, 0), false},
      {"flags 0xfffffffe", true, TypeFile(1, 0, 0xfffffffeu), true},
      {"flags 1", true, TypeFile(1, 0, 1), false},
      {"four billion entries (64 GB)", true, Spoiled(type, {{52, U32(0xffffffffu)}}), false},
      {"one entry more than stored", true, Spoiled(type, {{52, U32(4)}}), false},
      {"fewer entries than stored", true, Spoiled(type, {{52, U32(2)}}), true},
      {"empty directory past the end", true,
       Spoiled(type, {{52, U32(0)}, {60, U32(0xfffffff0u)}}), false},
      {"sound resources", false, res, true},
      {"no resources", false, MakeResFile({}), true},
      {"shorter than its header", false, res.substr(0, 23), false},
      {"wrong resource magic", false, Spoiled(res, {{0, "B"}}), false},
      {"resource length not complemented", false, Spoiled(res, {{16, U32(res.size())}}), false},
      {"one resource more than stored", false, Spoiled(res, {{12, U32(4)}}), false},
      // Room for the 16 bytes a type file's entry would take, not for 28.
      {"room for a short entry", false, extra(16), false},
      {"room for an entry", false, extra(28), true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = dir.Write("x", row.bytes);
    BFLYFILE typeFile;
    RESFILE resources;
    EXPECT_EQ(row.typeFile ? typeFile.Open(path.c_str()) : resources.Open(path.c_str()),
              row.opens);
    EXPECT_EQ(typeFile.stream.is_open() || resources.stream.is_open(), row.opens);
    EXPECT_TRUE(row.opens || (typeFile.directory.empty() && resources.directory.empty()));
  }
}

TEST(LumpFiles, AFifoAFolderOrNothingIsRefusedWithoutWaiting) {
  // A FIFO under a data file's name used to block the open for good (the
  // saver hung); a folder is no file either. Each container says no at once.
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  for (const std::string& path : {dir.File("fifo"), dir.path(), dir.File("missing")}) {
    SCOPED_TRACE(path);
    BFLYFILE type;
    RESFILE resources;
    EXPECT_FALSE(type.Open(path.c_str()) || resources.Open(path.c_str()));
  }
  EXPECT_FALSE(BFLYFILE().Open(nullptr));
}
