// The registry: a store of keys (a tree under the predefined roots) and named values, kept in one
// text file, "registry.reg" of the settings folder (see private_profile.h for where that is).
//
// Calls, arguments and results are the platform's: key and value names match ignoring ASCII
// letter case; a null or empty value name is the key's default value; results are Win32 error
// codes (win32_error.h), never HRESULTs. Every call reads the file afresh and every change
// rewrites it whole through a temporary file; calls are serialised within the process. A file
// that cannot be parsed in places loses only those lines. Handles name a key by its path: a key
// deleted under an open handle makes later calls on it fail with ERROR_KEY_DELETED.
#pragma once

#include <string>

#include "platform/types.h"
#include "platform/win32_error.h"

#if defined(_WIN32)
#include "platform/win32_sdk.h"  // advapi32's registry
#else
struct HKEY__;
typedef HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;
typedef DWORD* LPDWORD;
typedef BYTE* LPBYTE;
struct SECURITY_ATTRIBUTES;
struct FILETIME;
typedef FILETIME* PFILETIME;

#define NX_PREDEFINED_KEY(value) \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(value)))))
#define HKEY_CLASSES_ROOT NX_PREDEFINED_KEY(0x80000000)
#define HKEY_CURRENT_USER NX_PREDEFINED_KEY(0x80000001)
#define HKEY_LOCAL_MACHINE NX_PREDEFINED_KEY(0x80000002)
#define HKEY_USERS NX_PREDEFINED_KEY(0x80000003)

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Longest key name (one path component) and value name, in units.
constexpr size_t kNxRegMaxKeyName = 255;
constexpr size_t kNxRegMaxValueName = 16383;

// Opens `subKey` of `key`, creating the missing keys on the way. A null or empty `subKey` opens
// `key` itself. ERROR_BAD_PATHNAME for a path that starts with a separator or has an empty or
// over-long component; ERROR_INVALID_HANDLE for a handle that is not open.
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                     REGSAM access, const SECURITY_ATTRIBUTES* security, PHKEY result,
                     LPDWORD disposition);

// ERROR_FILE_NOT_FOUND when the key does not exist.
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);

// Predefined roots close without effect; ERROR_INVALID_HANDLE for a handle that is not open.
LONG RegCloseKey(HKEY key);

// Stores `size` bytes as given (a REG_SZ carries its terminator in `size`).
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);

// With `data` null only the type and the size are reported. ERROR_MORE_DATA (and the size
// needed in *size) when *size is too small; ERROR_FILE_NOT_FOUND for a missing value.
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size);

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);

// Deletes a key without subkeys (ERROR_ACCESS_DENIED when it has some, and for a root);
// an empty `subKey` names `key` itself.
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);

// Deletes `subKey` with everything under it; a null `subKey` empties `key` (its values and
// subkeys) and keeps it.
LONG RegDeleteTreeW(HKEY key, LPCWSTR subKey);

// The name of the `index`th subkey (in the order they were created); ERROR_NO_MORE_ITEMS past
// the last. `nameSize` is the capacity in units on entry and the length on return.
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD reserved,
                   LPWSTR keyClass, LPDWORD classSize, PFILETIME lastWriteTime);

// The store's file, UTF-8; empty when the settings folder is unknown.
std::string NxRegistryFilePath();
#endif  // _WIN32
