#include "datafiles/LumpStream.h"

#include <new>

#include "util/RegularFile.h"
#include "util/StreamReader.h"

bool OpenLumpStream(std::ifstream& stream, const char* path, uint64_t* length) {
  if (!OpenRegularFile(stream, path)) return false;
  stream.seekg(0, std::ios::end);
  const std::streamoff end = stream.tellg();
  stream.seekg(0, std::ios::beg);
  if (end < 0 || !stream) {
    stream.close();
    return false;
  }
  *length = static_cast<uint64_t>(end);
  return true;
}

bool DirectoryFits(uint64_t length, uint32_t offset, uint32_t count, uint32_t entrySize) {
  if (offset > length) return false;
  return uint64_t{count} * entrySize <= length - offset;  // no overflow: both below 2^32
}

bool SeekLumpStream(std::ifstream& stream, uint32_t offset) {
  stream.clear();
  stream.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
  return !stream.fail();
}

bool ReadLumpStream(std::ifstream& stream, uint32_t offset, uint32_t size,
                    std::unique_ptr<uint8_t[]>* data) {
  if (!data || !SeekLumpStream(stream, offset)) return false;
  StreamReader reader(&stream);
  if (!reader.Require(size, 1)) return false;
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
  if (!bytes || !reader.Bytes(bytes.get(), size)) return false;
  *data = std::move(bytes);
  return true;
}
