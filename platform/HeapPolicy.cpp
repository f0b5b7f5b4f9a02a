#include "platform/HeapPolicy.h"

#include <malloc.h>

namespace {

// Blocks below this come from the heap, so that their pages are reused.
constexpr int kMapThreshold = 32 << 20;  // bytes, glibc's upper limit
// Free memory at the heap's top is given back beyond this.
constexpr int kTrimThreshold = 256 << 20;  // bytes

}  // namespace

void KeepFreedHeapMemory() {
  mallopt(M_MMAP_THRESHOLD, kMapThreshold);
  mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
}
