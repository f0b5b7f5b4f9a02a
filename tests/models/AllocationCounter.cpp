#include "tests/models/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {
size_t g_calls = 0;
size_t g_failFrom = 0;

void* Allocate(size_t size) {
  if (g_failFrom != 0 && size >= g_failFrom) return nullptr;
  ++g_calls;
  return std::malloc(size ? size : 1);
}
}  // namespace

void* operator new(size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

size_t Allocations() { return g_calls; }

void FailAllocationsFrom(size_t bytes) { g_failFrom = bytes; }
