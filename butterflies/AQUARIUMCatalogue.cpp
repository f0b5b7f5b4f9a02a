// The catalogue of installed butterfly types: two folders of ".bfly" files.
#include <dirent.h>

#include <cstring>
#include <new>
#include <string>

#include "butterflies/AQUARIUM.h"
#include "util/CString.h"
#include "util/Diagnostics.h"

namespace {

constexpr char kSuffix[] = ".bfly";

bool EndsWith(const char* name, size_t length, const char* suffix, size_t suffixLength) {
  return length >= suffixLength &&
         std::memcmp(name + length - suffixLength, suffix, suffixLength) == 0;
}

// A file is valid when a lump reader opens it; each candidate gets a fresh
// reader, closed before the next one.
bool OpensAsLumpFile(const char* folder, const char* name) {
  const std::string path = std::string(folder) + name;
  BFLYFILE file;
  return file.Open(path.c_str());
}

// Lists a folder; false when it cannot be listed. `visit` returns false to
// stop early.
template <typename Visit>
bool ListFolder(const char* folder, Visit visit) {
  if (!folder) return false;
  DIR* dir = opendir(folder);
  if (!dir) return false;
  while (const dirent* entry = readdir(dir)) {
    if (!visit(entry->d_name)) break;
  }
  closedir(dir);
  return true;
}

int CountFolder(const char* folder, const char* suffix) {
  const size_t suffixLength = std::strlen(suffix);
  int count = 0;
  ListFolder(folder, [&](const char* name) {
    const size_t length = std::strlen(name);
    // Longer than the suffix: a file named just ".bfly" is not counted.
    if (length > suffixLength && EndsWith(name, length, suffix, suffixLength) &&
        OpensAsLumpFile(folder, name))
      ++count;
    return true;
  });
  return count;
}

// The fill takes names at least as long as the suffix, so a file named
// exactly ".bfly" is taken although it was not counted.
bool IsTypeFileName(const char* name) {
  return EndsWith(name, std::strlen(name), kSuffix, sizeof kSuffix - 1);
}

}  // namespace

int CountFiles(const char* folder1, const char* folder2, const char* suffix) {
  if (!suffix) return 0;
  return CountFolder(folder1, suffix) + CountFolder(folder2, suffix);
}

bool AQUARIUM::BuildBFlyList() {
  CleanupBFlyList();
  numBFlyTypes = CountFiles(bflyPath, bflyPath2, kSuffix);
  if (numBFlyTypes < 1) {
    numBFlyTypes = 0;
    ERRORCLOSE("No BFly Data Found!");
    return false;
  }
  bflyList.reset(new (std::nothrow) BFLYINFO[numBFlyTypes]);
  if (!bflyList) {
    numBFlyTypes = 0;
    ERRORCLOSE("Error Allocating Memory!");
    return false;
  }

  int32_t filled = 0;
  for (const char* folder : {static_cast<const char*>(bflyPath), static_cast<const char*>(bflyPath2)}) {
    if (filled >= numBFlyTypes) break;
    ListFolder(folder, [&](const char* name) {
      if (IsTypeFileName(name) && OpensAsLumpFile(folder, name)) {
        BFLYINFO& entry = bflyList[filled++];
        CopyCString(entry.fileName, name);
        CopyCString(entry.path, folder);
      }
      return filled < numBFlyTypes;
    });
  }
  // The folders changed between counting and filling.
  if (filled < numBFlyTypes) {
    numBFlyTypes = filled;
    if (filled == 0) return false;
  }

  for (int32_t i = 0; i < numBFlyTypes; ++i) {
    BFLYINFO& entry = bflyList[i];
    std::unique_ptr<BFLYFILE> file(new (std::nothrow) BFLYFILE);
    const std::string path = std::string(entry.path) + entry.fileName;
    if (!file || !file->Open(path.c_str())) {
      ERRORCLOSE("Error Loading BFly!");
      return false;
    }
    CopyCString(entry.name, file->header.name);
    entry.infoByte = file->header.infoByte;
    entry.flags = file->header.flags;
  }
  return true;
}

void AQUARIUM::FindSelectedBFly(int32_t* mode) {
  selectedType = 0;
  bool found = false;
  for (int32_t i = 0; bflyList && i < numBFlyTypes; ++i) {
    if (std::strcmp(selectedBFlyName, bflyList[i].fileName) == 0) {
      selectedType = i;
      found = true;
      break;
    }
  }
  if (!found && bflyList && numBFlyTypes > 0) CopyCString(selectedBFlyName, bflyList[0].fileName);
  if (mode && *mode < 0) *mode = 0;
}

bool AQUARIUM::BFlyFileExists(const char* name) {
  if (!name) return false;
  bool found = false;
  ListFolder(bflyPath2, [&](const char* fileName) {
    if (IsTypeFileName(fileName)) {
      const std::string path = std::string(bflyPath2) + fileName;
      BFLYFILE file;
      found = file.Open(path.c_str()) && std::strcmp(file.header.name, name) == 0;
    }
    return !found;
  });
  return found;
}

void AQUARIUM::CleanupBFlyList() {
  bflyList.reset();
  numBFlyTypes = 0;
}

bool AQUARIUM::LoadBFlyData() { return true; }
