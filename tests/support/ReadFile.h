#pragma once
// A file's bytes, whole; empty when it cannot be read.
#include <fstream>
#include <iterator>
#include <string>

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
