#pragma once
// An anonymous memory file holding a fuzz input, for readers that open by
// path: "/proc/self/fd/" followed by fd() names it. Closed when it goes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

class MemoryFile {
 public:
  MemoryFile(const char* name, const uint8_t* data, size_t size)
      : fd_(memfd_create(name, MFD_CLOEXEC)) {
    size_t written = 0;
    while (fd_ >= 0 && written < size) {
      const ssize_t n = write(fd_, data + written, size - written);
      if (n <= 0) break;
      written += static_cast<size_t>(n);
    }
    complete_ = fd_ >= 0 && written == size;
  }
  ~MemoryFile() {
    if (fd_ >= 0) close(fd_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  // True when the whole input was written.
  bool ok() const { return complete_; }
  int fd() const { return fd_; }

 private:
  int fd_;
  bool complete_ = false;
};
