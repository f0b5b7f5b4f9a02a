#include "datafiles/BFLYFILE.h"

#include <cstring>

#include "datafiles/LumpStream.h"
#include "util/CString.h"
#include "util/StreamReader.h"

namespace {

// Versions 0.x and exactly 1.0 are read; later ones changed the layout.
bool VersionReadable(uint8_t major, uint8_t minor) {
  return major == 0 || (major == 1 && minor == 0);
}

void ReadHeader(StreamReader& in, BFLYHEADER* h) {
  char name[40];
  in.Bytes(name, sizeof name);
  CopyCString(h->name, name, sizeof name);
  in.Bytes(h->magic, sizeof h->magic);
  h->versionMinor = in.U8();
  h->versionMajor = in.U8();
  in.Skip(2);
  h->flags = in.U32();
  h->lumpCount = in.U32();
  h->lengthCheck = in.U32();
  h->directoryOffset = in.U32();
  h->infoByte = in.U8();
  h->modelScale = in.U8();
  h->hasAlphaLump = in.U8();
  in.Skip(1);
}

}  // namespace

bool BFLYFILE::Open(const char* path) {
  Close();
  uint64_t length = 0;
  if (!OpenLumpStream(stream, path, &length)) return false;
  fileLength = static_cast<uint32_t>(length);

  StreamReader in(&stream);
  header = BFLYHEADER{};
  ReadHeader(in, &header);
  const bool sound = in.ok() && std::memcmp(header.magic, "BFLY", 4) == 0 &&
                     header.lengthCheck == ~fileLength &&
                     VersionReadable(header.versionMajor, header.versionMinor) &&
                     (header.flags & 1u) == 0 &&
                     DirectoryFits(length, header.directoryOffset, header.lumpCount, kEntrySize) &&
                     SeekLumpStream(stream, header.directoryOffset);
  if (!sound) {
    Close();
    return false;
  }

  StreamReader dir(&stream);
  directory.resize(header.lumpCount);
  for (BFLYLUMP& entry : directory) {
    entry.size = dir.U32();
    entry.offset = dir.U32();
    entry.type = dir.U32();
    entry.alphaMode = dir.I32();
  }
  if (!dir.ok()) {
    Close();
    return false;
  }
  return true;
}

bool BFLYFILE::HasLump(int index) const {
  return stream.is_open() && index >= 0 && static_cast<size_t>(index) < directory.size();
}

bool BFLYFILE::SeekLump(int index) {
  return HasLump(index) && SeekLumpStream(stream, directory[index].offset);
}

bool BFLYFILE::LoadData(int index, std::unique_ptr<uint8_t[]>* data) {
  return HasLump(index) &&
         ReadLumpStream(stream, directory[index].offset, directory[index].size, data);
}

void BFLYFILE::Close() {
  directory.clear();
  directory.shrink_to_fit();
  if (stream.is_open()) stream.close();
  stream.clear();
}
