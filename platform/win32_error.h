// Win32 error codes with their real values, the thread's last error, and their HRESULT form.
#pragma once

#include "platform/hresult.h"

#if defined(_WIN32)
// The SDK's codes, HRESULT_FROM_WIN32, GetLastError and SetLastError.
#include "platform/win32_sdk.h"
#else
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
constexpr LONG ERROR_MOD_NOT_FOUND = 126;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_CANTWRITE = 1013;
constexpr LONG ERROR_KEY_DELETED = 1018;

// Facility 7 (WIN32) with the failure bit; 0 and negative values pass unchanged.
constexpr HRESULT HRESULT_FROM_WIN32(LONG error) {
  return error <= 0 ? static_cast<HRESULT>(error)
                    : static_cast<HRESULT>((static_cast<uint32_t>(error) & 0xFFFFu) |
                                           (7u << 16) | 0x80000000u);
}

// The calling thread's last error, as the platform's calls that fail leave it.
DWORD GetLastError();
void SetLastError(DWORD error);
#endif  // _WIN32
