#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "wingdrift-test-XXXXXX").string();
  if (mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
  const std::string full = File(name);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(full).parent_path(), ec);
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return full;
}
