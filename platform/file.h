// The platform's file API: an abstract file object behind a handle, opened on a path or made from
// bytes in memory (platform/memory_file.h), plus copy, delete, existence and the module's folder.
//
// Contract shared by every back end:
// - Positions and sizes are bytes from the start of the file, 64-bit here; callers that keep
//   32-bit positions (RIFF code) refuse anything past 4 GB themselves. A seek before 0 fails;
//   a seek past the end succeeds, reads there return 0 bytes and a write there fills the gap
//   with zero bytes.
// - Read returns true with fewer bytes than asked at the end of the file; false only on an
//   error, and then `*done` counts what was read before it. Callers compare the counts.
// - Write returns true only when every byte was written.
// - No operation throws.
// - Paths are NUL-terminated UTF-16; an unpaired surrogate makes the call fail.
#pragma once

#include "platform/types.h"

enum class NxFileAccess { Read, Write, ReadWrite };

enum class NxFileCreate {
  OpenExisting,  // fails when the file does not exist
  CreateAlways,  // creates, or empties an existing file
  OpenAlways,    // opens, creating an empty file when there is none
};

enum class NxSeekOrigin { Begin, Current, End };

class NxFile {
 public:
  virtual ~NxFile() = default;

  virtual bool Read(void* buffer, DWORD count, DWORD* done) = 0;
  virtual bool Write(const void* buffer, DWORD count, DWORD* done) = 0;
  // `newPosition` may be null.
  virtual bool Seek(LONGLONG offset, NxSeekOrigin origin, ULONGLONG* newPosition) = 0;
  virtual bool GetSize(ULONGLONG* size) = 0;
  // Makes the current position the end of the file, cutting or zero-extending it.
  virtual bool SetEnd() = 0;

 protected:
  NxFile() = default;
  NxFile(const NxFile&) = delete;
  NxFile& operator=(const NxFile&) = delete;
};

// What every caller holds; null is the invalid handle.
typedef NxFile* NxFileHandle;

// Null on failure (missing file, no permission, a folder, bad path).
NxFileHandle NxOpenFile(LPCWSTR path, NxFileAccess access, NxFileCreate create);

// Closes and frees the file; a null handle is ignored.
void NxCloseFile(NxFileHandle file);

// Copies the contents of `src` to `dst`, replacing `dst` unless `failIfExists`. Copying a file
// onto itself fails and leaves it untouched; the copy is made beside `dst` and put in place
// whole, so a copy that fails part way leaves `dst` as it was.
bool NxCopyFile(LPCWSTR src, LPCWSTR dst, bool failIfExists);

bool NxDeleteFile(LPCWSTR path);

// Puts the file `from` in place of `to` in one step, replacing an existing `to`: a reader sees
// either the old file or the new one, never a mix. Both must be in the same folder. On failure
// both files are as they were.
bool NxMoveFileReplacing(LPCWSTR from, LPCWSTR to);

// Why the calling thread's last failed file call failed, as far as the system tells. Back ends
// record it with NxSetLastFileError where they know the cause.
enum class NxFileError { None, DiskFull, TooLarge, AccessDenied, NotFound, Other };
NxFileError NxGetLastFileError();
void NxSetLastFileError(NxFileError error);
// The reason in words: "disk full", "file too large", "access denied", "no such file or
// folder", "write failed".
const char* NxFileErrorText(NxFileError error);

// True for an existing file that is not a folder.
bool NxFileExists(LPCWSTR path);

// Separator between a folder and a name in paths of this system.
#if defined(_WIN32)
constexpr WCHAR kNxPathSeparator = '\\';
#else
constexpr WCHAR kNxPathSeparator = '/';
#endif

// The folder of the running module (library or executable) with a trailing separator, so that a
// file name can be appended as is. The environment variable AURALITH_MODULE_DIR, when set and
// not empty, takes its place. Returns the units written without the terminator, or 0 (and an
// empty buffer when capacity allows) when the folder is unknown or does not fit in `capacity`
// units including the terminator: a cut folder name would name another folder.
DWORD NxGetModuleFolder(WCHAR* buffer, DWORD capacity);

// Where the module keeps its working file "~IRX.TMP", in the form of NxGetModuleFolder: the
// module's folder when a file can be created there; otherwise (a program folder a standard user
// may not write) one per-user folder, %LOCALAPPDATA%\Auralith\ on Windows. Decided once per
// process, so writing and reading agree. AURALITH_MODULE_DIR overrides it as it does the module
// folder. The POSIX back end always gives the module folder.
DWORD NxGetModuleWorkFolder(WCHAR* buffer, DWORD capacity);
