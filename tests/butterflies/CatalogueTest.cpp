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

// Names of `folder` ending in ".bfly" (at least as long), in listing order.
std::vector<std::string> Listed(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  while (const dirent* e = dir ? readdir(dir) : nullptr) {
    const std::string n = e->d_name;
    if (n.size() >= 5 && n.compare(n.size() - 5, 5, ".bfly") == 0) names.push_back(n);
  }
  if (dir) closedir(dir);
  return names;
}

void UseFolders(AQUARIUM* a, const std::string& one, const std::string& two) {
  CopyCString(a->bflyPath, (one + "/").c_str());
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
  EXPECT_EQ(CountFiles(f1.c_str(), f2.c_str(), ".BFLY"), 1);
  // A name must be longer than the suffix to count.
  EXPECT_EQ(CountFiles(f1.c_str(), nullptr, "A.bfly"), 0);
}

TEST(Catalogue, BuildsEntriesFromBothFoldersInListingOrder) {
  TempDir one, two;
  ReportRecorder reports;
  for (const char* n : {"Monarch.bfly", "Swallowtail.bfly", "Admiral.bfly", "Blue.bfly"})
    one.Write(n, TypeFile(std::string("The ") + n, 7, 0x10u));
  two.Write("Blue.bfly", TypeFile("The Blue.bfly"));
  two.Write("Peacock.bfly", TypeFile(std::string(40, 'P'), 3, 0x80000000u));

  AQUARIUM a;
  UseFolders(&a, one.path(), two.path());
  ASSERT_TRUE(a.BuildBFlyList());
  std::vector<std::string> expected;
  for (const std::string& n : Listed(one.path())) expected.push_back(one.path() + "/" + n);
  for (const std::string& n : Listed(two.path())) expected.push_back(two.path() + "/" + n);
  ASSERT_EQ(a.numBFlyTypes, 6);
  for (int i = 0; i < 6; ++i) {
    const BFLYINFO& e = a.bflyList[i];
    EXPECT_EQ(std::string(e.path) + e.fileName, expected[i]) << i;
    EXPECT_FALSE(e.loaded);
    EXPECT_FALSE(e.data);
    if (std::string(e.path) == one.path() + "/") {
      EXPECT_EQ(std::string(e.name), std::string("The ") + e.fileName);
      EXPECT_EQ(e.infoByte, 7);
      EXPECT_EQ(e.flags, 0x10u);
    }
    if (std::string(e.fileName) == "Peacock.bfly") {
      // Forty characters without a terminator are cut to 39.
      EXPECT_EQ(std::string(e.name), std::string(39, 'P'));
      EXPECT_EQ(e.flags, 0x80000000u);
    }
  }
  // The same type in both folders: two entries of one display name.
  int blues = 0;
  for (int i = 0; i < 6; ++i) blues += std::string(a.bflyList[i].name) == "The Blue.bfly";
  EXPECT_EQ(blues, 2);
  EXPECT_TRUE(ReportRecorder::Reports().empty());

  // Building again replaces the list.
  ASSERT_TRUE(a.BuildBFlyList());
  EXPECT_EQ(a.numBFlyTypes, 6);
  a.CleanupBFlyList();
  EXPECT_FALSE(a.bflyList);
  EXPECT_EQ(a.numBFlyTypes, 0);
  a.CleanupBFlyList();
  EXPECT_TRUE(a.LoadBFlyData());
}

TEST(Catalogue, EdgesOfTheFill) {
  ReportRecorder reports;
  {
    // Nothing valid anywhere.
    TempDir one;
    one.Write("x.bfly", "junk");
    AQUARIUM a;
    UseFolders(&a, one.path(), "/no/such/folder");
    EXPECT_FALSE(a.BuildBFlyList());
    ASSERT_EQ(ReportRecorder::Reports().size(), 1u);
    EXPECT_EQ(ReportRecorder::Reports()[0], "No BFly Data Found!");
    EXPECT_EQ(a.numBFlyTypes, 0);
  }
  {
    // A file named just ".bfly" is not counted but is taken by the fill when
    // it is listed first; the list then ends one counted file early.
    TempDir one;
    one.Write(".bfly", TypeFile("Hidden"));
    one.Write("A.bfly", TypeFile("A"));
    AQUARIUM a;
    UseFolders(&a, one.path(), "");
    ASSERT_TRUE(a.BuildBFlyList());
    ASSERT_EQ(a.numBFlyTypes, 1);
    EXPECT_EQ(std::string(a.bflyList[0].fileName), Listed(one.path())[0]);
  }
  {
    // Short folder paths are joined as they are.
    AQUARIUM a;
    CopyCString(a.bflyPath, "");
    CopyCString(a.bflyPath2, "");
    reports.Clear();
    EXPECT_FALSE(a.BuildBFlyList());
    EXPECT_EQ(ReportRecorder::Reports().size(), 1u);
  }
}

TEST(Catalogue, FindsTheSelectedType) {
  TempDir one;
  for (const char* n : {"A.bfly", "B.bfly", "C.bfly"}) one.Write(n, TypeFile(n));
  AQUARIUM a;
  UseFolders(&a, one.path(), "");
  ASSERT_TRUE(a.BuildBFlyList());
  {
    const std::string third = a.bflyList[2].fileName;
    CopyCString(a.selectedBFlyName, third.c_str());
    int32_t mix = 2;
    a.FindSelectedBFly(&mix);
    EXPECT_EQ(a.selectedType, 2);
    EXPECT_EQ(mix, 2);
  }
  {
    // No match: entry 0, whose file name replaces the selection.
    CopyCString(a.selectedBFlyName, "Gold.bfly");
    int32_t mix = -3;
    a.FindSelectedBFly(&mix);
    EXPECT_EQ(a.selectedType, 0);
    EXPECT_STREQ(a.selectedBFlyName, a.bflyList[0].fileName);
    EXPECT_EQ(mix, 0);
  }
  for (int32_t mix : {0, 1}) {
    int32_t m = mix;
    a.FindSelectedBFly(&m);
    EXPECT_EQ(m, mix);
  }
  // A file name differing only in case is no match.
  CopyCString(a.selectedBFlyName, "b.bfly");
  a.FindSelectedBFly(nullptr);
  EXPECT_EQ(a.selectedType, 0);
}

TEST(Catalogue, InstalledCheckLooksAtTheSecondFolderByDisplayName) {
  TempDir one, two;
  one.Write("First.bfly", TypeFile("Only First"));
  two.Write("Second.bfly", TypeFile("Sunset Moth"));
  two.Write("Other.bfly", TypeFile("Other"));
  two.Write("Junk.bfly", "junk");
  AQUARIUM a;
  UseFolders(&a, one.path(), two.path());
  EXPECT_TRUE(a.BFlyFileExists("Sunset Moth"));
  EXPECT_TRUE(a.BFlyFileExists("Other"));
  EXPECT_FALSE(a.BFlyFileExists("Only First")) << "the first folder is not searched";
  EXPECT_FALSE(a.BFlyFileExists("Second.bfly")) << "display names, not file names";
  EXPECT_FALSE(a.BFlyFileExists("Sunset"));
  EXPECT_FALSE(a.BFlyFileExists(nullptr));
  CopyCString(a.bflyPath2, "/no/such/folder/");
  EXPECT_FALSE(a.BFlyFileExists("Sunset Moth"));
}
