#pragma once
// Opening files that the program reads as data, safely: only regular files
// (or links to them), opened without blocking. A FIFO, a device or a folder
// under a data file's name is refused at once instead of waiting for a
// writer that never comes.
#include <fstream>

// Opens `path` for binary reading into `stream` when it names a regular
// file. The file is checked through the descriptor that is then read, so a
// name swapped meanwhile cannot slip a FIFO in. False, with the stream
// closed, otherwise.
bool OpenRegularFile(std::ifstream& stream, const char* path);

// Opens `path` read-only without blocking and returns the descriptor when it
// is a regular file; -1 otherwise (errno EINVAL for another kind of file).
// The caller closes it.
int OpenRegularFileDescriptor(const char* path);
