// POSIX back end of the file API.
#include "platform/file.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <new>
#include <string>

#include "platform/utf8.h"

namespace {

// Records the reason of a failed call for NxGetLastFileError.
void RecordError(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT: NxSetLastFileError(NxFileError::DiskFull); break;
    case EFBIG: NxSetLastFileError(NxFileError::TooLarge); break;
    case EACCES:
    case EPERM:
    case EROFS: NxSetLastFileError(NxFileError::AccessDenied); break;
    case ENOENT:
    case ENOTDIR: NxSetLastFileError(NxFileError::NotFound); break;
    default: NxSetLastFileError(NxFileError::Other); break;
  }
}

// File names are UTF-8 on POSIX; an empty or malformed name names no file.
bool ToUtf8(LPCWSTR text, std::string* out) {
  return NxUtf16ToUtf8(text, out) && !out->empty();
}

class PosixFile : public NxFile {
 public:
  PosixFile(int fd, NxFileAccess access) : fd_(fd), access_(access) {}
  ~PosixFile() override { ::close(fd_); }

  bool Read(void* buffer, DWORD count, DWORD* done) override {
    DWORD total = 0;
    bool ok = access_ != NxFileAccess::Write;
    while (ok && total < count) {
      const ssize_t n = ::read(fd_, static_cast<BYTE*>(buffer) + total, count - total);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ok = false;
      if (n <= 0) break;
      total += static_cast<DWORD>(n);
    }
    if (done != nullptr) *done = total;
    return ok;
  }

  bool Write(const void* buffer, DWORD count, DWORD* done) override {
    DWORD total = 0;
    bool ok = access_ != NxFileAccess::Read;
    while (ok && total < count) {
      const ssize_t n = ::write(fd_, static_cast<const BYTE*>(buffer) + total, count - total);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        RecordError(n < 0 ? errno : ENOSPC);
        ok = false;
        break;
      }
      total += static_cast<DWORD>(n);
    }
    if (done != nullptr) *done = total;
    return ok;
  }

  bool Seek(LONGLONG offset, NxSeekOrigin origin, ULONGLONG* newPosition) override {
    int whence = SEEK_SET;
    if (origin == NxSeekOrigin::Current) whence = SEEK_CUR;
    if (origin == NxSeekOrigin::End) whence = SEEK_END;
    const off_t position = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (position < 0) return false;
    if (newPosition != nullptr) *newPosition = static_cast<ULONGLONG>(position);
    return true;
  }

  bool GetSize(ULONGLONG* size) override {
    struct stat info;
    if (::fstat(fd_, &info) != 0) return false;
    *size = static_cast<ULONGLONG>(info.st_size);
    return true;
  }

  bool SetEnd() override {
    if (access_ == NxFileAccess::Read) return false;
    const off_t position = ::lseek(fd_, 0, SEEK_CUR);
    if (position >= 0 && ::ftruncate(fd_, position) == 0) return true;
    RecordError(errno);
    return false;
  }

 private:
  int fd_;
  NxFileAccess access_;
};

int OpenFlags(NxFileAccess access, NxFileCreate create) {
  // Emptying a file needs write permission even when the caller only reads it afterwards.
  int flags = O_CLOEXEC;
  if (access == NxFileAccess::Read && create != NxFileCreate::CreateAlways) {
    flags |= O_RDONLY;
  } else if (access == NxFileAccess::Write) {
    flags |= O_WRONLY;
  } else {
    flags |= O_RDWR;
  }
  if (create == NxFileCreate::CreateAlways) flags |= O_CREAT | O_TRUNC;
  if (create == NxFileCreate::OpenAlways) flags |= O_CREAT;
  return flags;
}

bool IsFolder(int fd) {
  struct stat info;
  return ::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode);
}

bool CopyContents(int from, int to) {
  BYTE block[65536];
  for (;;) {
    const ssize_t n = ::read(from, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    ssize_t written = 0;
    while (written < n) {
      const ssize_t w = ::write(to, block + written, static_cast<size_t>(n - written));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      written += w;
    }
  }
}

bool StoreFolder(const std::string& folder, WCHAR* buffer, DWORD capacity, DWORD* length) {
  std::basic_string<WCHAR> wide;
  if (folder.empty() || !NxUtf8ToUtf16(folder, &wide)) return false;
  if (wide.back() != kNxPathSeparator) wide.push_back(kNxPathSeparator);
  if (wide.size() + 1 > capacity) return false;
  wide.copy(buffer, wide.size());
  buffer[wide.size()] = 0;
  *length = static_cast<DWORD>(wide.size());
  return true;
}

// The file this function's code was loaded from: the shared library when built as one, else the
// executable.
std::string ModulePath() {
  Dl_info info;
  if (::dladdr(reinterpret_cast<void*>(&ModulePath), &info) != 0 && info.dli_fname != nullptr &&
      info.dli_fname[0] == '/') {
    return info.dli_fname;
  }
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return std::string();
  return std::string(path, static_cast<size_t>(n));
}

}  // namespace

NxFileHandle NxOpenFile(LPCWSTR path, NxFileAccess access, NxFileCreate create) {
  std::string name;
  if (!ToUtf8(path, &name)) return nullptr;
  int fd;
  do {
    fd = ::open(name.c_str(), OpenFlags(access, create), 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    RecordError(errno);
    return nullptr;
  }
  if (IsFolder(fd)) {
    ::close(fd);
    return nullptr;
  }
  NxFile* file = new (std::nothrow) PosixFile(fd, access);
  if (file == nullptr) ::close(fd);
  return file;
}

void NxCloseFile(NxFileHandle file) { delete file; }

bool NxCopyFile(LPCWSTR src, LPCWSTR dst, bool failIfExists) {
  std::string from;
  std::string to;
  if (!ToUtf8(src, &from) || !ToUtf8(dst, &to)) return false;
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    RecordError(errno);
    return false;
  }
  struct stat source;
  struct stat target;
  if (::fstat(in, &source) != 0 || S_ISDIR(source.st_mode) ||
      (::stat(to.c_str(), &target) == 0 &&
       (failIfExists || S_ISDIR(target.st_mode) ||
        (target.st_dev == source.st_dev && target.st_ino == source.st_ino)))) {
    ::close(in);
    return false;
  }
  // Copied beside the destination and put in place whole, so a failed copy leaves the
  // destination as it was.
  const std::string temporary = to + ".~part";
  const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                         source.st_mode & 0777);
  if (out < 0) {
    RecordError(errno);
    ::close(in);
    return false;
  }
  bool ok = CopyContents(in, out);
  if (!ok) RecordError(errno);
  if (::close(out) != 0 && ok) {
    RecordError(errno);
    ok = false;
  }
  ::close(in);
  if (ok && ::rename(temporary.c_str(), to.c_str()) != 0) {
    RecordError(errno);
    ok = false;
  }
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

bool NxDeleteFile(LPCWSTR path) {
  std::string name;
  return ToUtf8(path, &name) && ::unlink(name.c_str()) == 0;
}

bool NxMoveFileReplacing(LPCWSTR from, LPCWSTR to) {
  std::string source;
  std::string target;
  if (!ToUtf8(from, &source) || !ToUtf8(to, &target)) return false;
  if (::rename(source.c_str(), target.c_str()) == 0) return true;
  RecordError(errno);
  return false;
}

bool NxFileExists(LPCWSTR path) {
  std::string name;
  struct stat info;
  return ToUtf8(path, &name) && ::stat(name.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

DWORD NxGetModuleFolder(WCHAR* buffer, DWORD capacity) {
  if (buffer == nullptr || capacity == 0) return 0;
  buffer[0] = 0;
  DWORD length = 0;
  const char* overridden = std::getenv("AURALITH_MODULE_DIR");
  if (overridden != nullptr && overridden[0] != 0) {
    return StoreFolder(overridden, buffer, capacity, &length) ? length : 0;
  }
  const std::string path = ModulePath();
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return 0;
  return StoreFolder(path.substr(0, slash + 1), buffer, capacity, &length) ? length : 0;
}

DWORD NxGetModuleWorkFolder(WCHAR* buffer, DWORD capacity) {
  return NxGetModuleFolder(buffer, capacity);
}
