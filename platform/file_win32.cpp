// Win32 back end of the file API: kernel32's files with UTF-16 names as they are.
#include "platform/file.h"

#include <new>
#include <string>

#include "platform/win32_sdk.h"

namespace {

typedef std::basic_string<WCHAR> WideString;

// Records the reason of the calling thread's last failed system call for NxGetLastFileError.
void RecordError(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: NxSetLastFileError(NxFileError::DiskFull); break;
    case ERROR_FILE_TOO_LARGE: NxSetLastFileError(NxFileError::TooLarge); break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION: NxSetLastFileError(NxFileError::AccessDenied); break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: NxSetLastFileError(NxFileError::NotFound); break;
    default: NxSetLastFileError(NxFileError::Other); break;
  }
}

// The system accepts unpaired surrogates in names; the file API's contract refuses them on every
// system, as it does an empty name.
bool IsValidName(LPCWSTR path) {
  if (path == nullptr || path[0] == 0) return false;
  for (size_t i = 0; path[i] != 0; ++i) {
    const WCHAR unit = path[i];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (path[i + 1] < 0xDC00 || path[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

class Win32File : public NxFile {
 public:
  Win32File(HANDLE handle, NxFileAccess access) : handle_(handle), access_(access) {}
  ~Win32File() override { CloseHandle(handle_); }

  bool Read(void* buffer, DWORD count, DWORD* done) override {
    DWORD total = 0;
    bool ok = access_ != NxFileAccess::Write;
    while (ok && total < count) {
      DWORD n = 0;
      ok = ReadFile(handle_, static_cast<BYTE*>(buffer) + total, count - total, &n, nullptr) != 0;
      if (!ok || n == 0) break;
      total += n;
    }
    if (done != nullptr) *done = total;
    return ok;
  }

  bool Write(const void* buffer, DWORD count, DWORD* done) override {
    DWORD total = 0;
    bool ok = access_ != NxFileAccess::Read;
    while (ok && total < count) {
      DWORD n = 0;
      ok = WriteFile(handle_, static_cast<const BYTE*>(buffer) + total, count - total, &n,
                     nullptr) != 0 &&
           n > 0;
      // A write that took nothing without an error code has met a full disk.
      if (!ok) RecordError(n == 0 && GetLastError() == ERROR_SUCCESS ? ERROR_DISK_FULL
                                                                     : GetLastError());
      total += n;
    }
    if (done != nullptr) *done = total;
    return ok;
  }

  bool Seek(LONGLONG offset, NxSeekOrigin origin, ULONGLONG* newPosition) override {
    DWORD method = FILE_BEGIN;
    if (origin == NxSeekOrigin::Current) method = FILE_CURRENT;
    if (origin == NxSeekOrigin::End) method = FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (SetFilePointerEx(handle_, distance, &position, method) == 0) return false;
    if (newPosition != nullptr) *newPosition = static_cast<ULONGLONG>(position.QuadPart);
    return true;
  }

  bool GetSize(ULONGLONG* size) override {
    LARGE_INTEGER value;
    if (GetFileSizeEx(handle_, &value) == 0) return false;
    *size = static_cast<ULONGLONG>(value.QuadPart);
    return true;
  }

  bool SetEnd() override {
    if (access_ == NxFileAccess::Read) return false;
    if (SetEndOfFile(handle_) != 0) return true;
    RecordError(GetLastError());
    return false;
  }

 private:
  HANDLE handle_;
  NxFileAccess access_;
};

// Other openers may read, write, delete and rename, as on POSIX; a file replaced by rename
// while someone reads it keeps its old contents for that reader.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION x;
  BY_HANDLE_FILE_INFORMATION y;
  return GetFileInformationByHandle(a, &x) != 0 && GetFileInformationByHandle(b, &y) != 0 &&
         x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

// Whether `dst` names the same file as `src` (a copy onto itself must leave it untouched).
bool NamesSameFile(LPCWSTR src, LPCWSTR dst) {
  HANDLE a = CreateFileW(src, 0, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (a == INVALID_HANDLE_VALUE) return false;
  HANDLE b = CreateFileW(dst, 0, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const bool same = b != INVALID_HANDLE_VALUE && SameFile(a, b);
  if (b != INVALID_HANDLE_VALUE) CloseHandle(b);
  CloseHandle(a);
  return same;
}

WideString Environment(LPCWSTR name) {
  WCHAR value[32768];
  const DWORD n = GetEnvironmentVariableW(name, value, 32768);
  return n == 0 || n >= 32768 ? WideString() : WideString(value, n);
}

bool StoreFolder(WideString folder, WCHAR* buffer, DWORD capacity, DWORD* length) {
  if (folder.empty()) return false;
  if (folder.back() != '\\' && folder.back() != '/') folder.push_back(kNxPathSeparator);
  if (folder.size() + 1 > capacity) return false;
  folder.copy(buffer, folder.size());
  buffer[folder.size()] = 0;
  *length = static_cast<DWORD>(folder.size());
  return true;
}

// The DLL (or program) this code was linked into, found from one of its own addresses: a host
// that loaded the DLL has another module as its executable.
WideString OwnModuleFolder() {
  HMODULE module = nullptr;
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&OwnModuleFolder), &module) == 0) {
    return WideString();
  }
  WCHAR path[32768];
  const DWORD n = GetModuleFileNameW(module, path, 32768);
  if (n == 0 || n >= 32768) return WideString();
  const WideString full(path, n);
  const size_t slash = full.find_last_of(L"\\/");
  return slash == WideString::npos ? WideString() : full.substr(0, slash + 1);
}

// True when a new file can be created in `folder` (which ends with a separator). The probe
// file is never seen by anyone: it is deleted when its handle closes.
bool FolderIsWritable(const WideString& folder) {
  const WideString probe = folder + L"~IRX" + std::to_wstring(GetCurrentProcessId()) + L".probe";
  HANDLE handle = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

// %LOCALAPPDATA%\Auralith\, created when missing; empty when there is no such folder.
WideString PerUserWorkFolder() {
  const WideString base = Environment(L"LOCALAPPDATA");
  if (base.empty()) return WideString();
  const WideString folder = base + L"\\Auralith";
  if (CreateDirectoryW(folder.c_str(), nullptr) == 0 && GetLastError() != ERROR_ALREADY_EXISTS) {
    return WideString();
  }
  return folder + L"\\";
}

}  // namespace

NxFileHandle NxOpenFile(LPCWSTR path, NxFileAccess access, NxFileCreate create) {
  if (!IsValidName(path)) return nullptr;
  // Emptying a file needs write access even when the caller only reads it afterwards.
  DWORD desired = GENERIC_READ | GENERIC_WRITE;
  if (access == NxFileAccess::Read && create != NxFileCreate::CreateAlways) desired = GENERIC_READ;
  if (access == NxFileAccess::Write) desired = GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  if (create == NxFileCreate::CreateAlways) disposition = CREATE_ALWAYS;
  if (create == NxFileCreate::OpenAlways) disposition = OPEN_ALWAYS;
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open.
  HANDLE handle = CreateFileW(path, desired, kShareAll, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    RecordError(GetLastError());
    return nullptr;
  }
  NxFile* file = new (std::nothrow) Win32File(handle, access);
  if (file == nullptr) CloseHandle(handle);
  return file;
}

void NxCloseFile(NxFileHandle file) { delete file; }

bool NxCopyFile(LPCWSTR src, LPCWSTR dst, bool failIfExists) {
  if (!IsValidName(src) || !IsValidName(dst) || NamesSameFile(src, dst)) return false;
  if (!NxFileExists(src)) {
    RecordError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  if (failIfExists && GetFileAttributesW(dst) != INVALID_FILE_ATTRIBUTES) return false;
  // Copied beside the destination and put in place whole, so a failed copy leaves the
  // destination as it was.
  const WideString temporary = WideString(dst) + L".~part";
  if (CopyFileW(src, temporary.c_str(), FALSE) == 0) {
    RecordError(GetLastError());
    DeleteFileW(temporary.c_str());
    return false;
  }
  if (NxMoveFileReplacing(temporary.c_str(), dst)) return true;
  DeleteFileW(temporary.c_str());
  return false;
}

bool NxMoveFileReplacing(LPCWSTR from, LPCWSTR to) {
  if (!IsValidName(from) || !IsValidName(to)) return false;
  if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) return true;
  RecordError(GetLastError());
  return false;
}

bool NxDeleteFile(LPCWSTR path) { return IsValidName(path) && DeleteFileW(path) != 0; }

bool NxFileExists(LPCWSTR path) {
  if (!IsValidName(path)) return false;
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

DWORD NxGetModuleFolder(WCHAR* buffer, DWORD capacity) {
  if (buffer == nullptr || capacity == 0) return 0;
  buffer[0] = 0;
  DWORD length = 0;
  const WideString overridden = Environment(L"AURALITH_MODULE_DIR");
  const WideString folder = overridden.empty() ? OwnModuleFolder() : overridden;
  return StoreFolder(folder, buffer, capacity, &length) ? length : 0;
}

DWORD NxGetModuleWorkFolder(WCHAR* buffer, DWORD capacity) {
  if (buffer == nullptr || capacity == 0) return 0;
  buffer[0] = 0;
  DWORD length = 0;
  const WideString overridden = Environment(L"AURALITH_MODULE_DIR");
  if (!overridden.empty()) return StoreFolder(overridden, buffer, capacity, &length) ? length : 0;
  // Decided once per process, so that what one call writes the next one reads.
  static const WideString folder = [] {
    const WideString own = OwnModuleFolder();
    if (!own.empty() && FolderIsWritable(own)) return own;
    const WideString user = PerUserWorkFolder();
    return user.empty() ? own : user;
  }();
  return StoreFolder(folder, buffer, capacity, &length) ? length : 0;
}
