// Little-endian fields of stored layouts (RIFF, wave, impulse and preset records), read and
// written a byte at a time so that neither the host's byte order nor the field's alignment
// matters. Signed forms are two's complement; float and double are IEEE 754 bit patterns.
#pragma once

#include <cstring>

#include "platform/types.h"

inline WORD NxGetLe16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

inline DWORD NxGetLe32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
         (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}

inline ULONGLONG NxGetLe64(const BYTE* p) {
  return static_cast<ULONGLONG>(NxGetLe32(p)) | (static_cast<ULONGLONG>(NxGetLe32(p + 4)) << 32);
}

inline int16_t NxGetLeI16(const BYTE* p) { return static_cast<int16_t>(NxGetLe16(p)); }
inline int32_t NxGetLeI32(const BYTE* p) { return static_cast<int32_t>(NxGetLe32(p)); }

inline float NxGetLeFloat(const BYTE* p) {
  const DWORD bits = NxGetLe32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline double NxGetLeDouble(const BYTE* p) {
  const ULONGLONG bits = NxGetLe64(p);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline void NxPutLe16(BYTE* p, WORD v) {
  p[0] = static_cast<BYTE>(v);
  p[1] = static_cast<BYTE>(v >> 8);
}

inline void NxPutLe32(BYTE* p, DWORD v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

inline void NxPutLe64(BYTE* p, ULONGLONG v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

inline void NxPutLeI16(BYTE* p, int16_t v) { NxPutLe16(p, static_cast<WORD>(v)); }
inline void NxPutLeI32(BYTE* p, int32_t v) { NxPutLe32(p, static_cast<DWORD>(v)); }

inline void NxPutLeFloat(BYTE* p, float v) {
  DWORD bits;
  std::memcpy(&bits, &v, sizeof bits);
  NxPutLe32(p, bits);
}

inline void NxPutLeDouble(BYTE* p, double v) {
  ULONGLONG bits;
  std::memcpy(&bits, &v, sizeof bits);
  NxPutLe64(p, bits);
}
