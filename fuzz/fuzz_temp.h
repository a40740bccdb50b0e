// A private folder for targets that touch the file system, made once per process and named in
// the environment variables the product reads its folders from.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

// Creates "<temp>/auralith_fuzz_<n>/" (with a trailing separator) on first use and sets
// `variable` to it; later calls hand back the same folder. It is removed with its contents when
// the process ends normally.
inline const std::string& FuzzTempFolder(const char* variable) {
  struct Folder {
    Folder()
        : path(std::filesystem::temp_directory_path() /
               ("auralith_fuzz_" + std::to_string(std::random_device{}()))),
          text(path.string() + "/") {
      std::filesystem::create_directories(path);
    }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path path;
    std::string text;
  };
  static const Folder folder;
  setenv(variable, folder.text.c_str(), 1);
  return folder.text;
}
