#pragma once
// The one bounded little-endian reader for binary formats.
//
// Wraps an std::istream positioned where a record starts. It knows how many
// bytes remain before the end of the stream, so a count read from the file can
// be checked against what the stream could possibly hold before anything is
// allocated. Failure is sticky: after the first short read or failed check
// every further read returns zeros and ok() stays false, so a reader can parse
// a whole record and test ok() once.
#include <cstddef>
#include <cstdint>
#include <istream>

class StreamReader {
 public:
  // Measures the bytes left from the current position to the end. A stream
  // that is null, failed or cannot seek starts failed.
  explicit StreamReader(std::istream* in);

  bool ok() const { return ok_; }
  void Fail() { ok_ = false; }
  // Bytes still readable; 0 once failed.
  uint64_t Remaining() const { return ok_ ? remaining_ : 0; }
  // True when `count` records of `recordSize` bytes fit in what is left
  // (computed without overflow). Does not fail the reader.
  bool CanHold(uint64_t count, uint64_t recordSize) const;
  // CanHold, failing the reader when the records cannot fit.
  bool Require(uint64_t count, uint64_t recordSize);

  // Reads exactly n bytes into dst; on a short read fails and zero-fills dst.
  bool Bytes(void* dst, size_t n);
  bool Skip(uint64_t n);

  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  int8_t I8() { return static_cast<int8_t>(U8()); }
  int16_t I16() { return static_cast<int16_t>(U16()); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  float F32();

 private:
  std::istream* in_ = nullptr;
  uint64_t remaining_ = 0;
  bool ok_ = false;
};
