#include "toolkit/file_read.h"

BOOL NxReadFile(NxFileHandle file, LPVOID buffer, DWORD count, DWORD* bytesRead,
                LPVOID overlapped) {
  if (bytesRead == nullptr) return FALSE;
  *bytesRead = 0;
  if (file == nullptr || overlapped != nullptr || (buffer == nullptr && count > 0)) return FALSE;
  return file->Read(buffer, count, bytesRead) ? TRUE : FALSE;
}
