#include "datafiles/RESFILE.h"

#include <cstring>

#include "datafiles/LumpStream.h"
#include "util/StreamReader.h"

bool RESFILE::Open(const char* path) {
  Close();
  uint64_t length = 0;
  if (!OpenLumpStream(stream, path, &length)) return false;
  fileLength = static_cast<uint32_t>(length);

  StreamReader in(&stream);
  header = RESHEADER{};
  in.Bytes(header.magic, sizeof header.magic);
  in.Skip(8);
  header.lumpCount = in.U32();
  header.lengthCheck = in.U32();
  header.directoryOffset = in.U32();
  const bool sound = in.ok() && std::memcmp(header.magic, "QORF", 4) == 0 &&
                     header.lengthCheck == ~fileLength &&
                     DirectoryFits(length, header.directoryOffset, header.lumpCount, kEntrySize) &&
                     SeekLumpStream(stream, header.directoryOffset);
  if (!sound) {
    Close();
    return false;
  }

  StreamReader dir(&stream);
  directory.resize(header.lumpCount);
  for (RESLUMP& entry : directory) {
    entry.size = dir.U32();
    entry.offset = dir.U32();
    entry.type = dir.U32();
    entry.alphaMode = dir.I32();
    dir.Skip(12);
  }
  if (!dir.ok()) {
    Close();
    return false;
  }
  return true;
}

bool RESFILE::HasLump(int index) const {
  return stream.is_open() && index >= 0 && static_cast<size_t>(index) < directory.size();
}

bool RESFILE::SeekLump(int index) {
  return HasLump(index) && SeekLumpStream(stream, directory[index].offset);
}

bool RESFILE::LoadData(int index, std::unique_ptr<uint8_t[]>* data) {
  return HasLump(index) &&
         ReadLumpStream(stream, directory[index].offset, directory[index].size, data);
}

void RESFILE::Close() {
  directory.clear();
  directory.shrink_to_fit();
  if (stream.is_open()) stream.close();
  stream.clear();
}
