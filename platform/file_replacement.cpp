#include "platform/file_replacement.h"

#include <atomic>
#include <new>

namespace {

std::atomic<ULONGLONG> g_writesLeftForTests{~0ull};
thread_local NxFileError t_lastError = NxFileError::None;

}  // namespace

NxFileError NxGetLastFileError() { return t_lastError; }

void NxSetLastFileError(NxFileError error) { t_lastError = error; }

const char* NxFileErrorText(NxFileError error) {
  switch (error) {
    case NxFileError::DiskFull: return "disk full";
    case NxFileError::TooLarge: return "file too large";
    case NxFileError::AccessDenied: return "access denied";
    case NxFileError::NotFound: return "no such file or folder";
    case NxFileError::None:
    case NxFileError::Other: break;
  }
  return "write failed";
}

std::basic_string<WCHAR> NxReplacementName(LPCWSTR destination) {
  static const WCHAR kSuffix[] = NXW(".~part");
  std::basic_string<WCHAR> name = destination != nullptr ? destination : NXW("");
  return name + kSuffix;
}

NxFileReplacement* NxFileReplacement::Create(LPCWSTR destination, NxFileAccess access) {
  NxSetLastFileError(NxFileError::None);
  if (destination == nullptr || destination[0] == 0 || access == NxFileAccess::Read) return nullptr;
  std::basic_string<WCHAR> temporary;
  std::basic_string<WCHAR> target;
  try {
    temporary = NxReplacementName(destination);
    target = destination;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  NxFileHandle file = NxOpenFile(temporary.c_str(), access, NxFileCreate::CreateAlways);
  if (file == nullptr) return nullptr;
  NxFileReplacement* replacement =
      new (std::nothrow) NxFileReplacement(file, std::move(target), std::move(temporary));
  if (replacement == nullptr) {
    NxCloseFile(file);
    NxDeleteFile(temporary.c_str());
  }
  return replacement;
}

NxFileReplacement::~NxFileReplacement() {
  if (file_ != nullptr) {
    NxCloseFile(file_);
    file_ = nullptr;
  }
  if (!committed_) NxDeleteFile(temporary_.c_str());
}

bool NxFileReplacement::Read(void* buffer, DWORD count, DWORD* done) {
  if (done != nullptr) *done = 0;
  return file_ != nullptr && file_->Read(buffer, count, done);
}

bool NxFileReplacement::Write(const void* buffer, DWORD count, DWORD* done) {
  if (done != nullptr) *done = 0;
  if (file_ == nullptr) return false;
  ULONGLONG left = g_writesLeftForTests.load();
  if (left != ~0ull) {
    if (count > left) {
      NxSetLastFileError(NxFileError::DiskFull);
      return false;
    }
    g_writesLeftForTests -= count;
  }
  return file_->Write(buffer, count, done);
}

bool NxFileReplacement::Seek(LONGLONG offset, NxSeekOrigin origin, ULONGLONG* newPosition) {
  return file_ != nullptr && file_->Seek(offset, origin, newPosition);
}

bool NxFileReplacement::GetSize(ULONGLONG* size) {
  return file_ != nullptr && file_->GetSize(size);
}

bool NxFileReplacement::SetEnd() { return file_ != nullptr && file_->SetEnd(); }

void NxFileReplacement::Release() {
  NxCloseFile(file_);
  file_ = nullptr;
}

bool NxFileReplacement::Commit() {
  if (committed_) return false;
  Release();
  committed_ = NxMoveFileReplacing(temporary_.c_str(), destination_.c_str());
  if (!committed_) {
    const NxFileError why = NxGetLastFileError();
    NxDeleteFile(temporary_.c_str());
    NxSetLastFileError(why);
  }
  return committed_;
}

void NxFileReplacement::FailWritesAfterForTests(ULONGLONG bytes) { g_writesLeftForTests = bytes; }
