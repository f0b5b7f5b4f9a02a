#include "util/CString.h"

#include <cstring>

size_t BoundedLength(const char* s, size_t max) {
  if (!s) return 0;
  const void* end = std::memchr(s, '\0', max);
  return end ? static_cast<size_t>(static_cast<const char*>(end) - s) : max;
}

size_t CopyCString(char* dst, size_t dstSize, const char* src, size_t srcMax) {
  if (!dst || dstSize == 0) return 0;
  size_t n = BoundedLength(src, srcMax);
  if (n > dstSize - 1) n = dstSize - 1;
  if (n) std::memcpy(dst, src, n);
  dst[n] = '\0';
  return n;
}

bool NamesEqual(const char* a, const char* b, size_t max) {
  return std::strncmp(a ? a : "", b ? b : "", max) == 0;
}
