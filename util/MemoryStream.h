#pragma once
// A read-only, seekable std::istream over bytes in memory, so that the format
// readers, tests and fuzzers read from a buffer exactly as from a file. The
// bytes are not copied and must outlive the stream.
#include <cstddef>
#include <istream>
#include <streambuf>

class MemoryBuffer : public std::streambuf {
 public:
  MemoryBuffer(const void* data, size_t size);

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                   std::ios_base::openmode which) override;
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;
};

class MemoryStream : public std::istream {
 public:
  MemoryStream(const void* data, size_t size);

 private:
  MemoryBuffer buffer_;
};
