#include "platform/module_file.h"

#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/file.h"
#include "platform/utf8.h"
#include "platform/win32_error.h"

namespace {

// The file this function's code was loaded from.
std::string OwnModulePath() {
  Dl_info info;
  if (::dladdr(reinterpret_cast<void*>(&OwnModulePath), &info) != 0 &&
      info.dli_fname != nullptr && info.dli_fname[0] == '/') {
    return info.dli_fname;
  }
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return std::string();
  return std::string(path, static_cast<size_t>(n));
}

}  // namespace

DWORD GetModuleFileNameW(HINSTANCE /*module*/, LPWSTR buffer, DWORD capacity) {
  if (buffer != nullptr && capacity > 0) buffer[0] = 0;
  const std::string path = OwnModulePath();
  const size_t slash = path.find_last_of('/');
  std::basic_string<WCHAR> name;
  if (slash == std::string::npos || !NxUtf8ToUtf16(path.substr(slash + 1), &name)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  WCHAR folder[4096];
  const DWORD folderLength = NxGetModuleFolder(folder, 4096);
  if (folderLength == 0) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  const std::basic_string<WCHAR> full = std::basic_string<WCHAR>(folder, folderLength) + name;
  if (buffer == nullptr || full.size() + 1 > capacity) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  full.copy(buffer, full.size());
  buffer[full.size()] = 0;
  return static_cast<DWORD>(full.size());
}

bool NxFolderExists(LPCWSTR path) {
  std::string name;
  struct stat info;
  return path != nullptr && path[0] != 0 && NxUtf16ToUtf8(path, &name) &&
         ::stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

HMODULE LoadLibraryW(LPCWSTR path) {
  std::string name;
  if (path == nullptr || !NxUtf16ToUtf8(path, &name)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  void* module = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (module == nullptr) SetLastError(ERROR_MOD_NOT_FOUND);
  return reinterpret_cast<HMODULE>(module);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (module == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<FARPROC>(::dlsym(reinterpret_cast<void*>(module), name));
}

BOOL FreeLibrary(HMODULE module) {
  return module != nullptr && ::dlclose(reinterpret_cast<void*>(module)) == 0 ? TRUE : FALSE;
}
