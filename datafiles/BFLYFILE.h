#pragma once
// Reader of butterfly type files (".bfly", magic "BFLY").
//
// A lump container: a 68-byte header, a directory of 16-byte entries and the
// lumps themselves, all little-endian, offsets absolute from the start of the
// file. The reader validates the file, keeps the header and the directory and
// positions its stream at a lump so that a format reader (MS3D, TGA) reads the
// lump straight from `stream`. It never interprets lump contents and never
// checks that a lump lies inside the file: a lump that runs past the end makes
// the read that follows fail.
//
// One file at a time: Open, read header fields and lumps, Close.
#include <cstdint>
#include <fstream>
#include <memory>
#include <vector>

// The file header as stored at offset 0.
struct BFLYHEADER {
  char name[41] = {};         // display name; the file's 40 bytes, always terminated here
  char magic[4] = {};         // "BFLY", no terminator
  uint8_t versionMinor = 0;
  uint8_t versionMajor = 0;
  uint32_t flags = 0;         // bit 0: unreadable by this reader; copied whole to the catalogue
  uint32_t lumpCount = 0;     // directory entries
  uint32_t lengthCheck = 0;   // bitwise complement of the file length in bytes
  uint32_t directoryOffset = 0;  // bytes from the start of the file
  uint8_t infoByte = 0;       // copied to the catalogue, not interpreted
  uint8_t modelScale = 0;     // model scale, per cent
  uint8_t hasAlphaLump = 0;   // non-zero: lump 1 is a shared alpha image
};

// One directory entry.
struct BFLYLUMP {
  uint32_t size = 0;    // bytes
  uint32_t offset = 0;  // bytes from the start of the file
  uint32_t type = 0;    // 1: TGA image; other values are skipped by the texture loaders
  int32_t alphaMode = 0;  // BuildTexture's alpha rule: 1 colour key, 2 brightness, else opaque
};

class BFLYFILE {
 public:
  static constexpr uint32_t kHeaderSize = 68;  // bytes
  static constexpr uint32_t kEntrySize = 16;   // bytes

  uint32_t fileLength = 0;  // bytes (low 32 bits); 0 until Open has measured it
  std::ifstream stream;     // binary input; format readers take it as std::istream*
  BFLYHEADER header;
  std::vector<BFLYLUMP> directory;  // lumpCount entries once Open succeeded, else empty

  BFLYFILE() = default;
  ~BFLYFILE() { Close(); }
  BFLYFILE(const BFLYFILE&) = delete;
  BFLYFILE& operator=(const BFLYFILE&) = delete;

  // Opens and validates the file and loads the directory. False, with the
  // stream closed and no directory, for a file that cannot be opened, is
  // shorter than its header, has the wrong magic or length check, a version
  // above 1.0 (0.x and 1.0 are read), flag bit 0 set, or a directory that does
  // not lie wholly inside the file. Whatever the reader held before is
  // released first.
  bool Open(const char* path);
  // Positions `stream` at the first byte of lump `index`; true when the stream
  // is usable afterwards. False, without touching the stream, unless a file
  // is open and `index` names a directory entry.
  bool SeekLump(int index);
  // Reads lump `index` whole into a new array of its `size` bytes, handed out
  // through `data` only on success. False when the lump is not wholly inside
  // the file (checked before anything is allocated) or cannot be read.
  bool LoadData(int index, std::unique_ptr<uint8_t[]>* data);
  // Releases the directory and closes the stream; safe to call repeatedly.
  void Close();

 private:
  bool HasLump(int index) const;
};
