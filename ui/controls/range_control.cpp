#include "ui/controls/range_control.h"

#include <algorithm>

LONG NxScrollPosition(NxRangeKind kind, const NxRangeState& s, UINT action, bool controlKey) {
  // Up raises the value on a fader and a spinner, lowers it on a trackbar.
  const LONGLONG up = kind == NxRangeKind::Trackbar ? -1 : 1;
  const LONGLONG page = static_cast<LONGLONG>(s.pageStep) * (controlKey ? 10 : 1);
  LONGLONG next = s.position;
  switch (action) {
    case kNxScrollLineUp:
      next += up * s.lineStep;
      break;
    case kNxScrollLineDown:
      next -= up * s.lineStep;
      break;
    case kNxScrollPageUp:
      next += up * page;
      break;
    case kNxScrollPageDown:
      next -= up * page;
      break;
    case kNxScrollTop:
      next = kind == NxRangeKind::Trackbar ? s.minimum : s.maximum;
      break;
    case kNxScrollBottom:
      next = kind == NxRangeKind::Trackbar ? s.maximum : s.minimum;
      break;
    default:
      break;
  }
  const LONGLONG low = std::min(s.minimum, s.maximum);
  const LONGLONG high = std::max(s.minimum, s.maximum);
  return static_cast<LONG>(std::clamp(next, low, high));
}
