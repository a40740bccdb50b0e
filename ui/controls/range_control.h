// The scroll rule of the toolkit's trackbar, fader and spinner: where a control goes when the
// user scrolls it with the mouse or the keys.
#pragma once

#include "platform/types.h"

// Scroll actions, with the values of the platform's scroll codes.
constexpr UINT kNxScrollLineUp = 0;
constexpr UINT kNxScrollLineDown = 1;
constexpr UINT kNxScrollPageUp = 2;
constexpr UINT kNxScrollPageDown = 3;
constexpr UINT kNxScrollThumbPosition = 4;
constexpr UINT kNxScrollThumbTrack = 5;
constexpr UINT kNxScrollTop = 6;
constexpr UINT kNxScrollBottom = 7;
constexpr UINT kNxScrollEnd = 8;

enum class NxRangeKind {
  Trackbar,  // horizontal: "up" (left, up keys) lowers the value
  Fader,     // vertical, loudest at the top: "up" raises the value
  Spinner,   // up arrow raises the value
};

// What a range control holds. The page sets all of it; the user changes only the position.
struct NxRangeState {
  LONG minimum = 0;
  LONG maximum = 100;
  LONG position = 0;
  LONG lineStep = 1;
  LONG pageStep = 10;
  LONG resetValue = 0;  // where a double-click puts a trackbar or fader
};

// The position after `action`: line and page actions move by their step (ten page steps while
// the Control key is held), top and bottom go to the ends, any other action keeps the
// position; the result lies within the range.
LONG NxScrollPosition(NxRangeKind kind, const NxRangeState& state, UINT action, bool controlKey);
