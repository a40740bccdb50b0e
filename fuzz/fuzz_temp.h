// A private folder for targets that touch the file system, made once per process and named (with
// a trailing separator) in the environment variable the product reads its folders from. It is
// removed with its contents when the process ends normally.
#pragma once

#include <string>

#include "tests/support/temp_folder.h"

inline std::string FuzzTempFolder(const char* variable) {
  static const TempFolder folder;
  setenv(variable, folder.Path().c_str(), 1);
  return folder.Path();
}
