// Fuzz target for the lump readers: the input is a whole file, opened with
// both readers (they open by path, so it lives in an anonymous memory file);
// every lump of a file that opens is read through SeekLump and LoadData.
#include <cstdint>
#include <memory>
#include <string>

#include "datafiles/BFLYFILE.h"
#include "datafiles/RESFILE.h"
#include "fuzz/MemoryFile.h"

namespace {

template <typename Reader>
void ReadAll(const std::string& path) {
  Reader file;
  if (!file.Open(path.c_str())) return;
  for (int i = 0; i <= static_cast<int>(file.header.lumpCount); ++i) {
    if (file.SeekLump(i)) {
      char probe[16];
      file.stream.read(probe, sizeof probe);
    }
    std::unique_ptr<uint8_t[]> data;
    file.LoadData(i, &data);
  }
  file.SeekLump(-1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const MemoryFile file("fuzz_lump", data, size);
  if (file.ok()) {
    const std::string path = "/proc/self/fd/" + std::to_string(file.fd());
    ReadAll<BFLYFILE>(path);
    ReadAll<RESFILE>(path);
  }
  return 0;
}
