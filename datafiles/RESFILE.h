#pragma once
// Reader of the module's resource file ("qorvane.vessimots", magic "QORF").
//
// The same lump container as a ".bfly" file (see BFLYFILE.h) with a 24-byte
// header and 28-byte directory entries, and no version or flag rules. The
// reader never interprets lump contents and never checks that a lump lies
// inside the file.
#include <cstdint>
#include <fstream>
#include <memory>
#include <vector>

// The file header as stored at offset 0; bytes 4 to 11 are reserved.
struct RESHEADER {
  char magic[4] = {};         // "QORF", no terminator
  uint32_t lumpCount = 0;     // directory entries
  uint32_t lengthCheck = 0;   // bitwise complement of the file length in bytes
  uint32_t directoryOffset = 0;  // bytes from the start of the file
};

// One directory entry; its last 12 bytes are reserved.
struct RESLUMP {
  uint32_t size = 0;    // bytes
  uint32_t offset = 0;  // bytes from the start of the file
  uint32_t type = 0;    // 1: TGA image; other values leave their texture slot empty
  int32_t alphaMode = 0;  // BuildTexture's alpha rule: 1 colour key, 2 brightness, else opaque
};

class RESFILE {
 public:
  static constexpr uint32_t kHeaderSize = 24;  // bytes
  static constexpr uint32_t kEntrySize = 28;   // bytes

  uint32_t fileLength = 0;  // bytes (low 32 bits); 0 until Open has measured it
  std::ifstream stream;     // binary input; format readers take it as std::istream*
  RESHEADER header;
  std::vector<RESLUMP> directory;  // lumpCount entries once Open succeeded, else empty

  RESFILE() = default;
  ~RESFILE() { Close(); }
  RESFILE(const RESFILE&) = delete;
  RESFILE& operator=(const RESFILE&) = delete;

  // Opens and validates the file and loads the directory. False, with the
  // stream closed and no directory, for a file that cannot be opened, is
  // shorter than its header, has the wrong magic or length check, or a
  // directory that does not lie wholly inside the file. Whatever the reader
  // held before is released first.
  bool Open(const char* path);
  // As BFLYFILE::SeekLump.
  bool SeekLump(int index);
  // As BFLYFILE::LoadData.
  bool LoadData(int index, std::unique_ptr<uint8_t[]>* data);
  // Releases the directory and closes the stream; safe to call repeatedly.
  void Close();

 private:
  bool HasLump(int index) const;
};
