#pragma once
// How the C library's allocator treats memory freed by the program and its
// OpenGL driver. Call first thing in main, before any thread starts.
//
// Mesa's software renderer allocates and frees its vertex and upload buffers
// several times per frame. By default glibc gives the top of its heap back
// to the kernel whenever more than 128 KiB of it is free, and serves blocks
// from 128 KiB up with their own mappings; each frame then touches fresh
// pages again, one page fault per 4 KiB (10 to 16 microseconds each in a
// virtual machine: a third of a full-screen frame's CPU time). Kept, the
// freed memory is reused without faults; the cost is that the process keeps
// its largest heap (the start-up's, a few tens of MiB) until it ends.
void KeepFreedHeapMemory();
