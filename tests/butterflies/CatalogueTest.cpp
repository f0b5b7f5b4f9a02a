// The catalogue of installed butterfly types, over real folders.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "butterflies/AQUARIUM.h"
#include "tests/butterflies/FlockTypes.h"
#include "tests/support/ReportRecorder.h"
#include "tests/support/TempDir.h"
#include "util/CString.h"

namespace {

// A small valid lump file with the given display name; the catalogue never
// reads the lumps.
std::string TypeFile(const std::string& name, uint8_t infoByte = 0, uint32_t flags = 0) {
  BflyHeaderSpec header;
  header.name = name;
  header.infoByte = infoByte;
  header.flags = flags;
  LumpSpec lump;
  lump.bytes = "model";
  return MakeBflyFile(header, {lump, lump});
}

// `folder`/name for the names of `folder` ending in ".bfly", in listing order.
std::vector<std::string> Listed(const std::string& folder) {
  std::vector<std::string> paths;
  DIR* dir = opendir(folder.c_str());
  while (const dirent* e = readdir(dir)) {
    const std::string n = e->d_name;
    if (n.size() >= 5 && n.compare(n.size() - 5, 5, ".bfly") == 0)
      paths.push_back(folder + "/" + n);
  }
  closedir(dir);
  return paths;
}

// The folders as the set-up passes them: with a trailing "/", empty as
// they are.
void UseFolders(AQUARIUM* a, const std::string& one, const std::string& two) {
  CopyCString(a->bflyPath, one.empty() ? "" : (one + "/").c_str());
  CopyCString(a->bflyPath2, two.empty() ? "" : (two + "/").c_str());
}

}  // namespace

TEST(Catalogue, CountsValidFilesWithTheExactSuffix) {
  TempDir one, two;
  one.Write("A.bfly", TypeFile("A"));
  one.Write("Broken.bfly", "not a lump file");
  one.Write("Gold.BFLY", TypeFile("Gold"));
  one.Write(".bfly", TypeFile("hidden"));
  one.Write("C.bfly.bak", TypeFile("C"));
  mkdir(one.File("Folder.bfly").c_str(), 0755);
  // A FIFO named like a type: opening it would wait for a writer for good.
  ASSERT_EQ(mkfifo(one.File("X.bfly").c_str(), 0600), 0);
  two.Write("B.bfly", TypeFile("B"));
  two.Write("A.bfly", TypeFile("A"));
  const std::string f1 = one.path() + "/", f2 = two.path() + "/";
  EXPECT_EQ(CountFiles(f1.c_str(), f2.c_str(), ".bfly"), 3);
  EXPECT_EQ(CountFiles(f1.c_str(), "/no/such/folder/", ".bfly"), 1);
  EXPECT_EQ(CountFiles("", nullptr, ".bfly"), 0);
}

TEST(Catalogue, ListsBothFoldersInListingOrderAndFindsTheSelectedAndTheInstalledType) {
  TempDir one, two;
  ReportRecorder reports;
  for (const char* n : {"Monarch.bfly", "Admiral.bfly", "Blue.bfly"})
    one.Write(n, TypeFile(std::string("The ") + n, 7, 0x10u));
  two.Write("Blue.bfly", TypeFile("The Blue.bfly"));
  two.Write("Peacock.bfly", TypeFile(std::string(40, 'P'), 3, 0x80000000u));
  AQUARIUM a;
  UseFolders(&a, one.path(), two.path());
  ASSERT_TRUE(a.BuildBFlyList());
  std::vector<std::string> expected = Listed(one.path());
  for (const std::string& p : Listed(two.path())) expected.push_back(p);
  ASSERT_EQ(a.numBFlyTypes, 5);
  for (int i = 0; i < 5; ++i) {
    const BFLYINFO& e = a.bflyList[i];
    SCOPED_TRACE(expected[i]);
    EXPECT_EQ(std::string(e.path) + e.fileName, expected[i]);
    EXPECT_FALSE(e.loaded || e.data);
    const bool first = i < 3, peacock = std::string(e.fileName) == "Peacock.bfly";
    // Forty characters without a terminator are cut to 39.
    EXPECT_EQ(e.name, peacock ? std::string(39, 'P') : std::string("The ") + e.fileName);
    EXPECT_EQ(e.infoByte, first ? 7 : peacock ? 3 : 0);
    EXPECT_EQ(e.flags, first ? 0x10u : peacock ? 0x80000000u : 0u);
  }
  EXPECT_TRUE(ReportRecorder::Reports().empty());

  const std::string third = a.bflyList[2].fileName;
  // A type is selected by its exact file name. No match (or one only in
  // case): entry 0, whose file name replaces the selection. A negative mix
  // becomes 0.
  struct Row {
    std::string selected;
    int32_t mix, expectType, expectMix;
  };
  for (const Row& row :
       {Row{third, 2, 2, 2}, Row{"Gold.bfly", -3, 0, 0}, Row{"blue.bfly", 1, 0, 1}}) {
    SCOPED_TRACE(row.selected);
    CopyCString(a.selectedBFlyName, row.selected.c_str());
    int32_t mix = row.mix;
    a.FindSelectedBFly(&mix);
    EXPECT_EQ(a.selectedType, row.expectType);
    EXPECT_EQ(mix, row.expectMix);
    EXPECT_STREQ(a.selectedBFlyName, a.bflyList[row.expectType].fileName);
  }
  a.CleanupBFlyList();
  EXPECT_FALSE(a.bflyList);
  EXPECT_EQ(a.numBFlyTypes, 0);

  // Whether a type is installed is asked of the second folder, by display
  // name.
  EXPECT_TRUE(a.BFlyFileExists("The Blue.bfly"));
  for (const char* absent :
       {"The Monarch.bfly", "Peacock.bfly", "The Blue", static_cast<const char*>(nullptr)})
    EXPECT_FALSE(a.BFlyFileExists(absent)) << (absent ? absent : "null");
}

TEST(Catalogue, NothingValidIsReported) {
  ReportRecorder reports;
  TempDir one;
  one.Write("x.bfly", "junk");
  for (const auto& [first, second] :
       {std::pair{one.path(), std::string("/no/such/folder")}, {std::string(), std::string()}}) {
    AQUARIUM a;
    UseFolders(&a, first, second);
    reports.Clear();
    EXPECT_FALSE(a.BuildBFlyList());
    EXPECT_EQ(ReportRecorder::Reports(), std::vector<std::string>{"No BFly Data Found!"});
    EXPECT_EQ(a.numBFlyTypes, 0);
  }
  // A file named just ".bfly" is not counted but is taken by the fill when it
  // is listed first; the list then ends one counted file early.
  TempDir two;
  two.Write(".bfly", TypeFile("Hidden"));
  two.Write("A.bfly", TypeFile("A"));
  AQUARIUM a;
  UseFolders(&a, two.path(), "");
  ASSERT_TRUE(a.BuildBFlyList());
  ASSERT_EQ(a.numBFlyTypes, 1);
  EXPECT_EQ(std::string(a.bflyList[0].path) + a.bflyList[0].fileName, Listed(two.path())[0]);
}
