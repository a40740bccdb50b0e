// Private-profile (ini) files: the settings file of the system.
//
// Same calls and results as the platform's: sections and keys match ignoring ASCII letter case;
// values are read with surrounding blanks and one pair of enclosing quotes removed. A file name
// without a folder lives in the settings folder: $AURALITH_CONFIG_DIR when set, else
// $XDG_CONFIG_HOME/auralith, else $HOME/.config/auralith. Files are UTF-8 text; every call reads
// the file afresh, and every write replaces it whole through a temporary file, so a crash never
// leaves half a file behind. Calls are serialised within the process.
#pragma once

#include <string>

#include "platform/types.h"

#if defined(_WIN32)
// Windows: kernel32's private-profile calls, UTF-16 files as the system writes them. A bare file
// name would land in the Windows folder, which a standard user cannot write (changes would be
// lost, or go to a virtualised copy), so the project's calls go through wrappers that resolve a
// bare name to the settings folder: %AURALITH_CONFIG_DIR% when set, else the user's roaming
// application-data folder + "\Auralith". When the file does not exist there yet, one left in
// the Windows folder by an older installation is copied over once. Names with a folder pass
// unchanged.
#include "platform/win32_sdk.h"
UINT NxGetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName);
DWORD NxGetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue,
                                 LPWSTR buffer, DWORD size, LPCWSTR fileName);
BOOL NxWritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName);
#if !defined(NX_PRIVATE_PROFILE_IMPLEMENTATION)
#define GetPrivateProfileIntW NxGetPrivateProfileIntW
#define GetPrivateProfileStringW NxGetPrivateProfileStringW
#define WritePrivateProfileStringW NxWritePrivateProfileStringW
#endif
#else
// The key's value as a decimal integer (a negative one in two's complement); `defaultValue` when
// the section or key is missing, 0 when the value does not start with a number.
UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName);

// Copies the key's value (or `defaultValue`, null meaning empty, when it is missing) into
// `buffer` of `size` units, truncated and terminated; returns the units copied without the
// terminator. A null `key` lists the section's keys and a null `section` the file's sections,
// each terminated, with one more terminator after the last.
DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                               DWORD size, LPCWSTR fileName);

// Sets the key's value, creating the section and the file as needed. A null `value` removes the
// key, a null `key` the whole section. FALSE when the file cannot be written.
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName);

#endif  // _WIN32

// The folder a bare settings file name resolves to, UTF-8, without a trailing separator; empty
// when neither variable is set.
std::string NxSettingsFolder();
