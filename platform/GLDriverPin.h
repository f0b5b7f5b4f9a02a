#pragma once
// Keeps the OpenGL driver libraries loaded until the process ends, in builds
// with AddressSanitizer only.
//
// Mesa's drivers keep some allocations for the life of the process. When the
// last context and display go, the drivers are unloaded, and LeakSanitizer
// then reports those allocations at exit from an "<unknown module>", which
// no suppression can name. Pinned, they are reported under the drivers' own
// names, which the sanitizer suites suppress, and leaks of ours still show.
// Call once a context has been made current (the drivers are loaded then).
// Does nothing in other builds.
void KeepGLDriversLoaded();
