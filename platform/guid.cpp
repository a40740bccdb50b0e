#include "platform/guid.h"

namespace {

#if !defined(_WIN32)
const char kHexDigits[] = "0123456789ABCDEF";

// Byte order of the text form: Data1 (4 bytes, most significant first), Data2, Data3, Data4.
void GuidBytesInTextOrder(REFGUID guid, BYTE bytes[16]) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(guid.Data1 >> (24 - 8 * i));
  bytes[4] = static_cast<BYTE>(guid.Data2 >> 8);
  bytes[5] = static_cast<BYTE>(guid.Data2);
  bytes[6] = static_cast<BYTE>(guid.Data3 >> 8);
  bytes[7] = static_cast<BYTE>(guid.Data3);
  std::memcpy(bytes + 8, guid.Data4, 8);
}
#endif

// Positions in "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" where a hyphen stands.
bool IsHyphenPosition(int i) { return i == 9 || i == 14 || i == 19 || i == 24; }

int HexValue(WCHAR c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

#if !defined(_WIN32)
// ole32 provides it on Windows.
int StringFromGUID2(REFGUID guid, WCHAR* text, int capacity) {
  if (text == nullptr || capacity < 39) return 0;
  BYTE bytes[16];
  GuidBytesInTextOrder(guid, bytes);
  int out = 0;
  int index = 0;
  text[out++] = '{';
  while (out < 37) {
    if (IsHyphenPosition(out)) {
      text[out++] = '-';
      continue;
    }
    text[out++] = static_cast<WCHAR>(kHexDigits[bytes[index] >> 4]);
    text[out++] = static_cast<WCHAR>(kHexDigits[bytes[index] & 15]);
    ++index;
  }
  text[out++] = '}';
  text[out++] = 0;
  return out;
}
#endif

bool GUIDFromString(const WCHAR* text, GUID* guid) {
  if (text == nullptr || guid == nullptr || text[0] != '{') return false;
  BYTE bytes[16];
  int index = 0;
  int i = 1;
  while (i < 37) {
    if (IsHyphenPosition(i)) {
      if (text[i] != '-') return false;
      ++i;
      continue;
    }
    const int high = HexValue(text[i]);
    const int low = high < 0 ? -1 : HexValue(text[i + 1]);
    if (low < 0) return false;
    bytes[index++] = static_cast<BYTE>(high * 16 + low);
    i += 2;
  }
  if (text[37] != '}' || text[38] != 0) return false;
  guid->Data1 = (DWORD(bytes[0]) << 24) | (DWORD(bytes[1]) << 16) | (DWORD(bytes[2]) << 8) | bytes[3];
  guid->Data2 = static_cast<WORD>((bytes[4] << 8) | bytes[5]);
  guid->Data3 = static_cast<WORD>((bytes[6] << 8) | bytes[7]);
  std::memcpy(guid->Data4, bytes + 8, 8);
  return true;
}
