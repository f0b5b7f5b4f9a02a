#pragma once
// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes out of scope.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "wingdrift-test-XXXXXX");
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }  // ends without "/"
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes `bytes` to File(name), making its folders; returns the full path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string full = File(name);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path(), ec);
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full;
  }

 private:
  std::string path_;
};
