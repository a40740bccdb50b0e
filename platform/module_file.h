// The running module's file and folder queries that the module entry and the settings need.
#pragma once

#include "platform/types.h"
#include "platform/window.h"

#if defined(_WIN32)
#include "platform/win32_sdk.h"  // kernel32's module calls
#else
// Reasons the loader passes to a module's entry point.
constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

// The full path of the module whose code calls it (the shared library when built as one, else
// the executable). When AURALITH_MODULE_DIR is set, the folder part is that folder, as for
// NxGetModuleFolder, and the file name stays the module's own. The instance handle is accepted
// for the real signature and ignored. Returns the units written without the terminator; 0 with
// the last error set when the path is unknown (ERROR_MOD_NOT_FOUND) or does not fit
// (ERROR_INSUFFICIENT_BUFFER; the buffer then holds an empty text rather than a cut path).
DWORD GetModuleFileNameW(HINSTANCE module, LPWSTR buffer, DWORD capacity);

#endif  // _WIN32

// True for an existing folder.
bool NxFolderExists(LPCWSTR path);

#if !defined(_WIN32)
typedef HINSTANCE HMODULE;
typedef void (*FARPROC)();

// Loads a module (a shared library here) as a host loads a plug-in, running its attach step;
// null with the last error ERROR_MOD_NOT_FOUND on failure. The module's code stays mapped
// after its last FreeLibrary: tables it made for the life of the process stay valid.
HMODULE LoadLibraryW(LPCWSTR path);

// The exported function of that name, or null.
FARPROC GetProcAddress(HMODULE module, LPCSTR name);

BOOL FreeLibrary(HMODULE module);
#endif  // !_WIN32
