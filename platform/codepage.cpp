#include "platform/codepage.h"

namespace {

// UTF-16 units of the bytes 0x80..0x9F; the rest of the code page is Latin-1.
const WCHAR kHighControlRange[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

bool IsKnownCodePage(UINT codePage) { return codePage == CP_ACP || codePage == kNxAnsiCodePage; }

WCHAR ByteToUnit(BYTE b) {
  if (b >= 0x80 && b <= 0x9F) return kHighControlRange[b - 0x80];
  return b;
}

// Returns -1 for a unit with no byte.
int UnitToByte(WCHAR unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return unit;
  for (int i = 0; i < 32; ++i) {
    if (kHighControlRange[i] == unit) return 0x80 + i;
  }
  return -1;
}

template <typename Unit>
size_t TerminatedLength(const Unit* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n + 1;
}

// The source length in its own units, or -1 when the arguments are invalid.
template <typename Unit>
long long SourceLength(const Unit* src, int srcLen, void* dst, int dstLen) {
  if (src == nullptr || srcLen == 0 || srcLen < -1 || dstLen < 0) return -1;
  if (dstLen > 0 && dst == nullptr) return -1;
  return srcLen == -1 ? static_cast<long long>(TerminatedLength(src)) : srcLen;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD /*flags*/, LPCSTR src, int srcBytes, LPWSTR dst,
                        int dstUnits) {
  if (!IsKnownCodePage(codePage)) return 0;
  const long long length = SourceLength(src, srcBytes, dst, dstUnits);
  // One unit per byte; a terminated source longer than INT_MAX cannot report its size.
  if (length < 0 || length > INT32_MAX) return 0;
  if (dstUnits == 0) return static_cast<int>(length);
  if (length > dstUnits) return 0;
  for (long long i = 0; i < length; ++i) dst[i] = ByteToUnit(static_cast<BYTE>(src[i]));
  return static_cast<int>(length);
}

int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, LPCWSTR src, int srcUnits, LPSTR dst,
                        int dstBytes, LPCSTR defaultChar, BOOL* usedDefaultChar) {
  if (!IsKnownCodePage(codePage)) return 0;
  const long long length = SourceLength(src, srcUnits, dst, dstBytes);
  if (length < 0 || length > INT32_MAX) return 0;
  if (dstBytes != 0 && length > dstBytes) return 0;
  const char fallback = defaultChar != nullptr ? defaultChar[0] : '?';
  bool usedDefault = false;
  for (long long i = 0; i < length; ++i) {
    const int byte = UnitToByte(src[i]);
    if (byte < 0) usedDefault = true;
    if (dstBytes != 0) dst[i] = byte < 0 ? fallback : static_cast<char>(byte);
  }
  if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefault ? TRUE : FALSE;
  return static_cast<int>(length);
}
