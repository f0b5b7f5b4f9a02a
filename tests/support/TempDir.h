#pragma once
// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes out of scope.
#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }  // ends without "/"
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes `bytes` to File(name), making its folders; returns the full path.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};
