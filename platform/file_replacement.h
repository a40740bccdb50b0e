// Replacing a file safely: every file the program creates or replaces is written beside its
// destination under a temporary name and put in place only when complete, so a failure (a full
// disk, a cancelled command, a crash) leaves the previous file exactly as it was and no partial
// file.
//
// NxFileReplacement is a file (platform/file.h) open on the temporary "<destination>.~part".
// Commit closes it and moves it over the destination (NxMoveFileReplacing); closing it without
// a commit (NxCloseFile) removes the temporary. Either way no temporary is left behind.
#pragma once

#include <string>
#include <utility>

#include "platform/file.h"

class NxFileReplacement final : public NxFile {
 public:
  // Creates the temporary for writing (`access` Write or ReadWrite). Null when it cannot be
  // created; NxGetLastFileError says why.
  static NxFileReplacement* Create(LPCWSTR destination, NxFileAccess access);
  ~NxFileReplacement() override;

  bool Read(void* buffer, DWORD count, DWORD* done) override;
  bool Write(const void* buffer, DWORD count, DWORD* done) override;
  bool Seek(LONGLONG offset, NxSeekOrigin origin, ULONGLONG* newPosition) override;
  bool GetSize(ULONGLONG* size) override;
  bool SetEnd() override;

  // Closes the temporary (if Release has not) and puts it in place of the destination. False
  // when that fails or was done already; the temporary is gone and the destination unchanged
  // then. Only NxCloseFile may follow.
  bool Commit();
  // The temporary's name, for work that must open the unfinished file by name: close it
  // first with Release, reopen and close by name, then Commit.
  LPCWSTR TemporaryName() const { return temporary_.c_str(); }
  // Closes the temporary without committing or removing it.
  void Release();

  // Test hook for every replacement of the process: once `bytes` more bytes have been written
  // through replacements, further writes fail as on a full disk (NxFileError::DiskFull). ~0
  // (the start value) ends it.
  static void FailWritesAfterForTests(ULONGLONG bytes);

 private:
  NxFileReplacement(NxFileHandle file, std::basic_string<WCHAR> destination,
                    std::basic_string<WCHAR> temporary)
      : file_(file), destination_(std::move(destination)), temporary_(std::move(temporary)) {}

  NxFileHandle file_;
  std::basic_string<WCHAR> destination_;
  std::basic_string<WCHAR> temporary_;
  bool committed_ = false;
};

// The temporary name beside `destination`.
std::basic_string<WCHAR> NxReplacementName(LPCWSTR destination);
