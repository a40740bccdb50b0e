// Files and folders for tests and fuzz targets (so no test framework here): whole files read and
// written, and a temporary folder.
#pragma once

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "tests/support/riff_bytes.h"

using WString = std::basic_string<WCHAR>;
// The UTF-16 form of ASCII text: test paths and names.
inline WString Wide(const std::string& text) { return WString(text.begin(), text.end()); }

inline void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}
inline Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh folder, removed with its contents at the end. With `variable`, the folder is also
// named there (with a trailing separator) while it lives.
class TempFolder {
 public:
  explicit TempFolder(const char* variable = nullptr)
      : path_(std::filesystem::temp_directory_path() /
              ("auralith_test_" + std::to_string(std::random_device{}()))),
        variable_(variable) {
    std::filesystem::create_directories(path_);
    if (variable_ != nullptr) setenv(variable_, Path().c_str(), 1);
  }
  ~TempFolder() {
    if (variable_ != nullptr) unsetenv(variable_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }
  std::string Path() const { return path_.string() + "/"; }
  void Write(const std::string& name, const Bytes& bytes) const { WriteFileBytes(*this / name, bytes); }
  // The UTF-16 path of `name` (ASCII), valid as long as the folder.
  const WCHAR* Wide(const std::string& name) {
    const std::string path = *this / name;
    return names_.emplace_back(path.begin(), path.end()).c_str();
  }
  Bytes Read(const std::string& name) const { return ReadFileBytes(*this / name); }

 private:
  std::filesystem::path path_;
  const char* variable_;
  std::deque<std::basic_string<WCHAR>> names_;
};
