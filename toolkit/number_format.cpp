#include "toolkit/number_format.h"

DWORD NxFormatNumber(DWORD value, WCHAR* text, DWORD capacity) {
  // 4294967295 is ten digits and three separators.
  WCHAR reversed[16];
  DWORD length = 0;
  DWORD digits = 0;
  do {
    if (digits != 0 && digits % 3 == 0) reversed[length++] = ',';
    reversed[length++] = static_cast<WCHAR>('0' + value % 10);
    value /= 10;
    ++digits;
  } while (value != 0);
  if (text == nullptr || capacity == 0) return 0;
  if (length + 1 > capacity) {
    text[0] = 0;
    return 0;
  }
  for (DWORD i = 0; i < length; ++i) text[i] = reversed[length - 1 - i];
  text[length] = 0;
  return length;
}
