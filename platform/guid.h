// GUID in its memory layout (16 bytes: a little-endian 32-bit word, two 16-bit words, 8 bytes).
#pragma once

#include <cstring>

#include "platform/types.h"

#if defined(_WIN32)
#include <objbase.h>
#else
struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};
static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");
static_assert(offsetof(GUID, Data2) == 4 && offsetof(GUID, Data3) == 6 &&
                  offsetof(GUID, Data4) == 8,
              "GUID field offsets");

typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }

#endif  // _WIN32

#if !defined(_WIN32)
// Text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with upper-case digits, as the registry
// stores class identifiers. Writes 39 units including the terminator; returns 39, or 0 when
// `capacity` is smaller. (ole32's on Windows.)
int StringFromGUID2(REFGUID guid, WCHAR* text, int capacity);
#endif

// Parses the braced text form (either letter case). Returns false and leaves `guid` untouched
// on any malformed text.
bool GUIDFromString(const WCHAR* text, GUID* guid);
