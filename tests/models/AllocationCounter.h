#pragma once
// Counts the heap allocations of this test program (the global operator new
// is replaced). Kept in a program of its own, without OpenGL, whose driver
// allocates through its own paths.
#include <cstddef>

// Allocations made so far.
size_t Allocations();
// Every later allocation of at least `bytes` fails (as when memory runs
// out); 0 turns failing off.
void FailAllocationsFrom(size_t bytes);
