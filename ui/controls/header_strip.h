// The header strip across the top of every page: the product title and a row of command items
// (the "?" help item).
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

struct NxHeaderItem {
  std::basic_string<WCHAR> text;
  UINT command;  // sent to the page as a command when the item is clicked
};

struct NxHeaderStrip {
  std::basic_string<WCHAR> title;
  std::vector<NxHeaderItem> items;
};
