#include "util/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

int OpenRegularFileDescriptor(const char* path) {
  if (path == nullptr) {
    errno = EINVAL;
    return -1;
  }
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  // Reads of a regular file never block; the flag only matters for others.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool OpenRegularFile(std::ifstream& stream, const char* path) {
  if (stream.is_open()) stream.close();
  stream.clear();
  const int fd = OpenRegularFileDescriptor(path);
  if (fd < 0) return false;
  // The descriptor's own file, not whatever the name means by now.
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  stream.open(self, std::ios::in | std::ios::binary);
  if (!stream.is_open()) {
    // No /proc: the name, checked a moment ago.
    stream.clear();
    stream.open(path, std::ios::in | std::ios::binary);
  }
  close(fd);
  return stream.is_open();
}
