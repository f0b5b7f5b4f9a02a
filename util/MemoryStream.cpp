#include "util/MemoryStream.h"

MemoryBuffer::MemoryBuffer(const void* data, size_t size) {
  char* begin = const_cast<char*>(static_cast<const char*>(data));
  setg(begin, begin, begin + size);
}

MemoryBuffer::pos_type MemoryBuffer::seekoff(off_type off, std::ios_base::seekdir dir,
                                             std::ios_base::openmode which) {
  if (!(which & std::ios_base::in)) return pos_type(off_type(-1));
  off_type base = 0;
  if (dir == std::ios_base::cur) base = gptr() - eback();
  else if (dir == std::ios_base::end) base = egptr() - eback();
  const off_type target = base + off;
  if (target < 0 || target > egptr() - eback()) return pos_type(off_type(-1));
  setg(eback(), eback() + target, egptr());
  return pos_type(target);
}

MemoryBuffer::pos_type MemoryBuffer::seekpos(pos_type pos, std::ios_base::openmode which) {
  return seekoff(off_type(pos), std::ios_base::beg, which);
}

MemoryStream::MemoryStream(const void* data, size_t size)
    : std::istream(nullptr), buffer_(data, size) {
  rdbuf(&buffer_);
}
