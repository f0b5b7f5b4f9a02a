#pragma once
// The one helper for copying into fixed-size character buffers.
#include <cstddef>

// Copies at most `srcMax` bytes of `src` (stopping at its terminator) into
// `dst` of `dstSize` bytes, cutting to fit, and always terminates `dst` when
// dstSize > 0. `src` may lack a terminator within `srcMax` (file names of a
// fixed width). A null `src` copies as "". Returns the length copied.
size_t CopyCString(char* dst, size_t dstSize, const char* src,
                   size_t srcMax = static_cast<size_t>(-1));

// Length of `s` bounded by `max` (for names that may lack a terminator).
size_t BoundedLength(const char* s, size_t max);

// Equality of two names compared over at most `max` bytes.
bool NamesEqual(const char* a, const char* b, size_t max);

template <size_t N>
size_t CopyCString(char (&dst)[N], const char* src,
                   size_t srcMax = static_cast<size_t>(-1)) {
  return CopyCString(dst, N, src, srcMax);
}
