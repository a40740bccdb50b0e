// Win32 side of the module queries: the loader's calls are kernel32's own (module_file.h).
#include "platform/module_file.h"

bool NxFolderExists(LPCWSTR path) {
  if (path == nullptr || path[0] == 0) return false;
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
