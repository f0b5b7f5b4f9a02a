#include "util/StreamReader.h"

#include <cstring>
#include <limits>

StreamReader::StreamReader(std::istream* in) : in_(in) {
  if (!in_ || !*in_) return;
  const std::streampos here = in_->tellg();
  if (here < 0) return;
  in_->seekg(0, std::ios::end);
  const std::streampos end = in_->tellg();
  in_->seekg(here);
  if (end < 0 || !*in_) {
    in_->clear();
    in_->seekg(here);
    return;
  }
  remaining_ = end > here ? static_cast<uint64_t>(end - here) : 0;
  ok_ = true;
}

bool StreamReader::CanHold(uint64_t count, uint64_t recordSize) const {
  if (!ok_) return false;
  if (recordSize == 0 || count == 0) return true;
  if (count > std::numeric_limits<uint64_t>::max() / recordSize) return false;
  return count * recordSize <= remaining_;
}

bool StreamReader::Require(uint64_t count, uint64_t recordSize) {
  if (!CanHold(count, recordSize)) ok_ = false;
  return ok_;
}

bool StreamReader::Bytes(void* dst, size_t n) {
  if (n == 0) return ok_;
  if (ok_ && n <= remaining_) {
    in_->read(static_cast<char*>(dst), static_cast<std::streamsize>(n));
    if (static_cast<size_t>(in_->gcount()) == n) {
      remaining_ -= n;
      return true;
    }
  }
  ok_ = false;
  std::memset(dst, 0, n);
  return false;
}

bool StreamReader::Skip(uint64_t n) {
  if (!ok_ || n > remaining_) {
    ok_ = false;
    return false;
  }
  in_->seekg(static_cast<std::streamoff>(n), std::ios::cur);
  if (!*in_) {
    ok_ = false;
    return false;
  }
  remaining_ -= n;
  return true;
}

uint8_t StreamReader::U8() {
  uint8_t b = 0;
  Bytes(&b, 1);
  return b;
}

uint16_t StreamReader::U16() {
  uint8_t b[2];
  Bytes(b, 2);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t StreamReader::U32() {
  uint8_t b[4];
  Bytes(b, 4);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

float StreamReader::F32() {
  const uint32_t bits = U32();
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}
