// A private folder for targets that touch the file system, made once per process and named in
// the environment variables the product reads its folders from.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

// Creates "<temp>/auralith_fuzz_<n>/" (with a trailing separator) on first use and sets
// `variable` to it; later calls hand back the same folder.
inline const std::string& FuzzTempFolder(const char* variable) {
  static const std::string folder = [] {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("auralith_fuzz_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(path);
    return path.string() + "/";
  }();
  setenv(variable, folder.c_str(), 1);
  return folder;
}
