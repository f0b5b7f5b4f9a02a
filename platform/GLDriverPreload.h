#pragma once
// Loads Mesa's OpenGL driver library on a thread of its own, so that the
// caller can go on with work that needs no OpenGL (reading the desktop)
// while it loads.
//
// Loading the driver (one library of some 25 MB, with LLVM behind it) takes
// 60 to 100 ms of CPU, most of it relocating; GLX does it at the first call
// that needs the driver, on the calling thread, with nothing else going on.
// Loaded here first, GLX's own load finds the library in place. The
// library's files are looked for where Mesa looks: LIBGL_DRIVERS_PATH, else
// the "dri" folder beside Mesa's GLX library. Mesa's megadriver serves every
// renderer, software or hardware; another vendor's GLX (NVIDIA's) uses none
// of it, and the thread's work is then spent for nothing. The libraries stay
// loaded for the life of the process, as GLX keeps them.
#include <pthread.h>

class GLDriverPreload {
 public:
  GLDriverPreload();
  // Waits for the thread.
  ~GLDriverPreload();
  GLDriverPreload(const GLDriverPreload&) = delete;
  GLDriverPreload& operator=(const GLDriverPreload&) = delete;

  // Waits until the thread is done, whether or not it found the driver.
  // Without a thread (none could be started) there is nothing to wait for:
  // GLX then loads the driver itself, as without a preload.
  void Wait();

 private:
  pthread_t thread_{};
  bool running_ = false;
};
