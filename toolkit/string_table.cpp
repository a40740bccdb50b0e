#include "toolkit/string_table.h"

namespace {

struct StringEntry {
  UINT id;
  LPCWSTR text;
};

// Sorted by id: NxGetString searches it by halving.
constexpr StringEntry kEnglishStrings[] = {
    {IDS_IMPULSE_ATTRIBUTES, NXW("%s Hz, %lu Channels, %lu.%02lu Seconds")},
};

constexpr bool IsSorted() {
  for (size_t i = 1; i < sizeof kEnglishStrings / sizeof kEnglishStrings[0]; ++i) {
    if (kEnglishStrings[i - 1].id >= kEnglishStrings[i].id) return false;
  }
  return true;
}
static_assert(IsSorted(), "the string table is sorted by id, without repeats");

}  // namespace

LPCWSTR NxGetString(UINT id) {
  size_t low = 0;
  size_t high = sizeof kEnglishStrings / sizeof kEnglishStrings[0];
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    if (kEnglishStrings[middle].id == id) return kEnglishStrings[middle].text;
    if (kEnglishStrings[middle].id < id) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return NXW("");
}
