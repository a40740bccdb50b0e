// Window procedures of the six custom controls: fader, trackbar, spinner, static picture,
// envelope editor and logo (header strip). Sizes in pixels unless said otherwise.
#include "ui/view/controls_win32.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "ui/view/view.h"

namespace {

enum ClassIndex : size_t { kFader, kTrackbar, kSpinner, kPicture, kEnvelope, kLogo, kClassCount };

// One control window's state, kept in the window's extra bytes from WM_NCCREATE to
// WM_NCDESTROY.
struct ControlWindow {
  static constexpr DWORD kMagic = 0x4E584354;  // tells our windows from others
  DWORD magic = kMagic;
  size_t cls = kFader;
  NxRangeState range;
  HWND buddy = nullptr;
  bool dragging = false;
  int dragOffset = 0;  // pixels between the pointer and the thumb's centre
  NxEnvelopeEditor envelope;
  LONG dragPoint = -1;  // envelope point being dragged
  bool dragMarker = false;
  LONG selectedPoint = -1;
  NxHeaderStrip header;
  std::vector<BYTE> picture;
};

// The class names module entry registered, by index; the names live as long as the module.
LPCWSTR g_classNames[kClassCount] = {};

size_t ClassIndexOf(HWND window) {
  WCHAR name[64];
  if (GetClassNameW(window, name, 64) == 0) return kClassCount;
  for (size_t i = 0; i < kClassCount; ++i) {
    if (g_classNames[i] != nullptr && lstrcmpiW(name, g_classNames[i]) == 0) return i;
  }
  return kClassCount;
}

ControlWindow* Data(HWND window) {
  auto* data = reinterpret_cast<ControlWindow*>(GetWindowLongPtrW(window, 0));
  return data != nullptr && data->magic == ControlWindow::kMagic ? data : nullptr;
}

NxRangeKind RangeKind(size_t cls) {
  return cls == kFader     ? NxRangeKind::Fader
         : cls == kSpinner ? NxRangeKind::Spinner
                           : NxRangeKind::Trackbar;
}

// ---- Range controls (fader, trackbar, spinner) ----------------------------------------------

constexpr int kThumbLength = 10;  // along the track
constexpr int kEdge = 2;

// The track's usable span in pixels: where the thumb's centre can be.
void Span(HWND window, const ControlWindow& c, int* first, int* last) {
  RECT r;
  GetClientRect(window, &r);
  const int length = c.cls == kFader ? r.bottom : r.right;
  *first = kThumbLength / 2 + kEdge;
  *last = std::max(*first + 1, length - kThumbLength / 2 - kEdge - 1);
}

// Pixel of a position along the track; the fader has its maximum at the top.
int PixelOf(HWND window, const ControlWindow& c, LONG position) {
  int first = 0;
  int last = 0;
  Span(window, c, &first, &last);
  const LONGLONG span = std::max<LONGLONG>(1, LONGLONG{c.range.maximum} - c.range.minimum);
  LONGLONG offset = std::clamp<LONGLONG>(LONGLONG{position} - c.range.minimum, 0, span);
  if (c.cls == kFader) offset = span - offset;
  return first + static_cast<int>(offset * (last - first) / span);
}

LONG PositionOf(HWND window, const ControlWindow& c, int pixel) {
  int first = 0;
  int last = 0;
  Span(window, c, &first, &last);
  const LONGLONG span = LONGLONG{c.range.maximum} - c.range.minimum;
  LONGLONG offset = (LONGLONG{std::clamp(pixel, first, last)} - first) * span;
  offset = (offset + (last - first) / 2) / (last - first);
  if (c.cls == kFader) offset = span - offset;
  return static_cast<LONG>(c.range.minimum + offset);
}

// Tells the parent, as the platform's trackbars do; for an action other than a drag the
// control then moves itself by the same scroll rule as the page, unless the page moved it.
void Notify(HWND window, ControlWindow& c, UINT action) {
  const LONG before = c.range.position;
  const UINT message = c.cls == kTrackbar ? WM_HSCROLL : WM_VSCROLL;
  SendMessageW(GetParent(window), message, MAKEWPARAM(action, static_cast<WORD>(c.range.position)),
               reinterpret_cast<LPARAM>(window));
  if (!IsWindow(window)) return;
  const bool moves =
      action != kNxScrollThumbTrack && action != kNxScrollThumbPosition && action != kNxScrollEnd;
  if (moves && c.range.position == before) {
    c.range.position =
        NxScrollPosition(RangeKind(c.cls), c.range, action, GetKeyState(VK_CONTROL) < 0);
  }
  InvalidateRect(window, nullptr, TRUE);
}

void PaintRange(HWND window, HDC dc, const ControlWindow& c) {
  RECT r;
  GetClientRect(window, &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_3DFACE));
  const bool enabled = IsWindowEnabled(window) != 0;
  if (c.cls == kSpinner) {
    RECT up = r;
    up.bottom = r.bottom / 2;
    RECT down = r;
    down.top = up.bottom;
    const UINT state = enabled ? 0 : DFCS_INACTIVE;
    DrawFrameControl(dc, &up, DFC_SCROLL, DFCS_SCROLLUP | state);
    DrawFrameControl(dc, &down, DFC_SCROLL, DFCS_SCROLLDOWN | state);
    return;
  }
  const int at = PixelOf(window, c, c.range.position);
  RECT channel;
  RECT thumb;
  if (c.cls == kFader) {
    const int mid = r.right / 2;
    channel = {mid - 2, kEdge, mid + 2, r.bottom - kEdge};
    thumb = {kEdge, at - kThumbLength / 2, r.right - kEdge, at + kThumbLength / 2};
    // Scale marks every tenth of the travel.
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DSHADOW));
    HGDIOBJ old = SelectObject(dc, pen);
    int first = 0;
    int last = 0;
    Span(window, c, &first, &last);
    for (int i = 0; i <= 10; ++i) {
      const int y = first + (last - first) * i / 10;
      MoveToEx(dc, kEdge, y, nullptr);
      LineTo(dc, mid - 4, y);
      MoveToEx(dc, mid + 5, y, nullptr);
      LineTo(dc, r.right - kEdge, y);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
  } else {
    const int mid = r.bottom / 2;
    channel = {kEdge, mid - 2, r.right - kEdge, mid + 2};
    thumb = {at - kThumbLength / 2 + 1, kEdge, at + kThumbLength / 2 - 1, r.bottom - kEdge};
  }
  DrawEdge(dc, &channel, EDGE_SUNKEN, BF_RECT | BF_MIDDLE);
  FillRect(dc, &thumb, GetSysColorBrush(COLOR_3DFACE));
  if (enabled) {
    DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
  } else {
    // Flat and grey, as the system greys what cannot be used.
    FrameRect(dc, &thumb, GetSysColorBrush(COLOR_3DSHADOW));
  }
  if (c.cls == kFader) {
    // The fader cap's centre line, where the level is read.
    RECT line = {thumb.left + 3, at, thumb.right - 3, at + 1};
    FillRect(dc, &line, GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  }
  if (GetFocus() == window) {
    RECT focus = r;
    DrawFocusRect(dc, &focus);
  }
}

// The scroll action of a key, or -1.
int KeyAction(size_t cls, WPARAM key) {
  const bool raisesUp = cls != kTrackbar;  // on faders and spinners "up" raises the value
  switch (key) {
    case VK_LEFT:
      return raisesUp ? kNxScrollLineDown : kNxScrollLineUp;
    case VK_UP:
      return kNxScrollLineUp;
    case VK_RIGHT:
      return raisesUp ? kNxScrollLineUp : kNxScrollLineDown;
    case VK_DOWN:
      return kNxScrollLineDown;
    case VK_PRIOR:
      return kNxScrollPageUp;
    case VK_NEXT:
      return kNxScrollPageDown;
    case VK_HOME:
      return kNxScrollTop;
    case VK_END:
      return kNxScrollBottom;
    default:
      return -1;
  }
}

LRESULT RangeMessage(HWND window, ControlWindow& c, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_KEYDOWN: {
      const int action = KeyAction(c.cls, w);
      if (action < 0 || !IsWindowEnabled(window)) break;
      Notify(window, c, static_cast<UINT>(action));
      Notify(window, c, kNxScrollEnd);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      SetFocus(window);
      const int x = GET_X_LPARAM(l);
      const int y = GET_Y_LPARAM(l);
      if (c.cls == kSpinner) {
        RECT r;
        GetClientRect(window, &r);
        SetCapture(window);
        c.dragging = true;
        Notify(window, c, y < r.bottom / 2 ? kNxScrollLineUp : kNxScrollLineDown);
        return 0;
      }
      if (message == WM_LBUTTONDBLCLK) {
        // Back to the control's own default.
        c.range.position = c.range.resetValue;
        Notify(window, c, kNxScrollThumbTrack);
        Notify(window, c, kNxScrollThumbPosition);
        Notify(window, c, kNxScrollEnd);
        return 0;
      }
      const int along = c.cls == kFader ? y : x;
      const int thumb = PixelOf(window, c, c.range.position);
      if (std::abs(along - thumb) <= kThumbLength / 2) {
        c.dragging = true;
        c.dragOffset = along - thumb;
        SetCapture(window);
      } else {
        // A click beside the thumb pages toward the click.
        const bool beforeThumb = along < thumb;
        Notify(window, c, beforeThumb ? kNxScrollPageUp : kNxScrollPageDown);
        Notify(window, c, kNxScrollEnd);
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      if (c.dragging && c.cls != kSpinner) {
        const int along = (c.cls == kFader ? GET_Y_LPARAM(l) : GET_X_LPARAM(l)) - c.dragOffset;
        const LONG next = PositionOf(window, c, along);
        if (next != c.range.position) {
          c.range.position = next;
          Notify(window, c, kNxScrollThumbTrack);
        }
      }
      return 0;
    case WM_LBUTTONUP:
      if (c.dragging) {
        c.dragging = false;
        ReleaseCapture();
        if (c.cls != kSpinner) Notify(window, c, kNxScrollThumbPosition);
        Notify(window, c, kNxScrollEnd);
      }
      return 0;
    case WM_CAPTURECHANGED:
      c.dragging = false;
      return 0;
    case WM_MOUSEWHEEL:
      // Away from the user is "up", as the arrow keys.
      if (!IsWindowEnabled(window)) break;
      Notify(window, c, GET_WHEEL_DELTA_WPARAM(w) > 0 ? kNxScrollLineUp : kNxScrollLineDown);
      Notify(window, c, kNxScrollEnd);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, w, l);
}

// ---- Static picture -------------------------------------------------------------------------

// The pixel bits of a packed device-independent bitmap, or null when its header does not
// describe bits that lie within `bytes` (the bitmap comes from a file).
const BYTE* DibBits(const std::vector<BYTE>& dib, const BITMAPINFOHEADER** header) {
  if (dib.size() < sizeof(BITMAPINFOHEADER)) return nullptr;
  const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
  if (h->biSize < sizeof(BITMAPINFOHEADER) || h->biSize > dib.size() || h->biWidth <= 0 ||
      h->biHeight == 0 || h->biWidth > 32768 || std::abs(h->biHeight) > 32768 || h->biPlanes != 1) {
    return nullptr;
  }
  const ULONGLONG bits = h->biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return nullptr;
  }
  if (h->biCompression != BI_RGB && h->biCompression != BI_BITFIELDS) return nullptr;
  ULONGLONG colours = h->biClrUsed != 0 ? h->biClrUsed : (bits <= 8 ? 1ULL << bits : 0);
  if (colours > 256) return nullptr;
  ULONGLONG offset = h->biSize + colours * 4;
  if (h->biCompression == BI_BITFIELDS && h->biSize == sizeof(BITMAPINFOHEADER)) offset += 12;
  const ULONGLONG stride = ((h->biWidth * bits + 31) / 32) * 4;
  const ULONGLONG need = offset + stride * static_cast<ULONGLONG>(std::abs(h->biHeight));
  if (need > dib.size()) return nullptr;
  *header = h;
  return dib.data() + offset;
}

void PaintPicture(HWND window, HDC dc, const ControlWindow& c) {
  RECT r;
  GetClientRect(window, &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_3DFACE));
  const BITMAPINFOHEADER* h = nullptr;
  const BYTE* bits = DibBits(c.picture, &h);
  if (bits == nullptr) return;
  // Scaled to fit, keeping its proportions, centred.
  const LONG width = h->biWidth;
  const LONG height = std::abs(h->biHeight);
  LONG cx = r.right;
  LONG cy = static_cast<LONG>(LONGLONG{height} * cx / width);
  if (cy > r.bottom) {
    cy = r.bottom;
    cx = static_cast<LONG>(LONGLONG{width} * cy / height);
  }
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchDIBits(dc, (r.right - cx) / 2, (r.bottom - cy) / 2, cx, cy, 0, 0, width, height, bits,
                reinterpret_cast<const BITMAPINFO*>(h), DIB_RGB_COLORS, SRCCOPY);
}

// ---- Envelope editor ------------------------------------------------------------------------

constexpr int kPointRadius = 3;
constexpr double kFloorDb = 80.0;  // the level axis runs from 0 dB at the top to -80 dB

int EnvelopeX(const RECT& r, const NxEnvelopeEditor& e, LONG time) {
  return static_cast<int>(LONGLONG{time} * (r.right - 1) / std::max<LONG>(1, e.TimeEnd()));
}

// Levels are linear percentages drawn on a dB axis; silence sits on the bottom edge.
int EnvelopeY(const RECT& r, const NxEnvelopeEditor& e, double level) {
  if (level <= 0) return r.bottom - 1;
  const double db = 20.0 * std::log10(level / e.LevelTop());
  const double share = std::clamp(-db / kFloorDb, 0.0, 1.0);
  return static_cast<int>(std::lround(share * (r.bottom - 1)));
}

LONG EnvelopeTime(const RECT& r, const NxEnvelopeEditor& e, int x) {
  const LONGLONG px = std::clamp(x, 0, static_cast<int>(r.right - 1));
  return static_cast<LONG>((px * e.TimeEnd() + (r.right - 1) / 2) / std::max<LONG>(1, r.right - 1));
}

LONG EnvelopeLevel(const RECT& r, const NxEnvelopeEditor& e, int y) {
  if (y >= r.bottom - 1) return 0;
  const double share =
      std::clamp(static_cast<double>(y) / std::max<LONG>(1, r.bottom - 1), 0.0, 1.0);
  return static_cast<LONG>(std::lround(e.LevelTop() * std::pow(10.0, -share * kFloorDb / 20.0)));
}

void PaintEnvelope(HWND window, HDC dc, const ControlWindow& c) {
  RECT r;
  GetClientRect(window, &r);
  const NxEnvelopeEditor& e = c.envelope;
  const bool on = e.Enabled() && IsWindowEnabled(window) != 0;
  HBRUSH back = CreateSolidBrush(RGB(16, 24, 32));
  FillRect(dc, &r, back);
  DeleteObject(back);
  // Grid at every 20 dB.
  HPEN grid = CreatePen(PS_DOT, 1, RGB(60, 72, 84));
  HGDIOBJ oldPen = SelectObject(dc, grid);
  SetBkMode(dc, TRANSPARENT);
  for (int i = 1; i < 4; ++i) {
    const int y = (r.bottom - 1) * i / 4;
    MoveToEx(dc, 0, y, nullptr);
    LineTo(dc, r.right, y);
  }
  SelectObject(dc, oldPen);
  DeleteObject(grid);
  // The impulse behind the points, one column per pixel; two channels share the height.
  if (e.HasBackground()) {
    const NxWaveform& wave = e.Background();
    const COLORREF colour = wave.envelopeOff || !on ? RGB(90, 100, 110) : RGB(70, 170, 110);
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    oldPen = SelectObject(dc, pen);
    const DWORD channels = std::clamp<DWORD>(wave.channels, 1, 2);
    for (DWORD ch = 0; ch < channels; ++ch) {
      const LONG band = r.bottom / static_cast<LONG>(channels);
      const LONG mid = band * static_cast<LONG>(ch) + band / 2;
      const auto& columns = wave.columns[ch];
      const size_t count = std::min<size_t>(columns.size(), static_cast<size_t>(r.right));
      for (size_t x = 0; x < count; ++x) {
        const int top = mid - static_cast<int>(columns[x].high / 32768.0f * (band / 2));
        const int bottom = mid - static_cast<int>(columns[x].low / 32768.0f * (band / 2));
        MoveToEx(dc, static_cast<int>(x), top, nullptr);
        LineTo(dc, static_cast<int>(x), bottom + 1);
      }
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);
  }
  // The decay marker.
  if (e.MarkerShown()) {
    HPEN pen = CreatePen(PS_DASH, 1, RGB(230, 90, 60));
    oldPen = SelectObject(dc, pen);
    const int x = EnvelopeX(r, e, e.Marker());
    MoveToEx(dc, x, 0, nullptr);
    LineTo(dc, x, r.bottom);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
  }
  // The envelope: lines between the points, a handle on each.
  HPEN line = CreatePen(PS_SOLID, 2, on ? RGB(250, 210, 80) : RGB(140, 140, 140));
  oldPen = SelectObject(dc, line);
  // The gain runs linearly between the points, so on the dB axis each segment is drawn
  // pixel by pixel.
  const auto& points = e.Points();
  for (size_t i = 1; i < points.size(); ++i) {
    const EnvelopePoint& a = points[i - 1];
    const EnvelopePoint& b = points[i];
    const int x0 = EnvelopeX(r, e, a.position);
    const int x1 = EnvelopeX(r, e, b.position);
    MoveToEx(dc, x0, EnvelopeY(r, e, a.level), nullptr);
    for (int x = x0 + 1; x <= x1; ++x) {
      const double share = x1 > x0 ? static_cast<double>(x - x0) / (x1 - x0) : 1.0;
      const double level = a.level + (b.level - a.level) * share;
      LineTo(dc, x, EnvelopeY(r, e, level));
    }
  }
  SelectObject(dc, oldPen);
  DeleteObject(line);
  HBRUSH handle = CreateSolidBrush(on ? RGB(255, 255, 255) : RGB(150, 150, 150));
  for (size_t i = 0; i < points.size(); ++i) {
    const int x = EnvelopeX(r, e, points[i].position);
    const int y = EnvelopeY(r, e, points[i].level);
    RECT box = {x - kPointRadius, y - kPointRadius, x + kPointRadius + 1, y + kPointRadius + 1};
    FillRect(dc, &box, handle);
    if (static_cast<LONG>(i) == c.selectedPoint) {
      FrameRect(dc, &box, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
  }
  DeleteObject(handle);
  if (GetFocus() == window) DrawFocusRect(dc, &r);
}

// The point under (x, y), or -1.
LONG PointAt(const RECT& r, const NxEnvelopeEditor& e, int x, int y) {
  const auto& points = e.Points();
  for (size_t i = 0; i < points.size(); ++i) {
    if (std::abs(EnvelopeX(r, e, points[i].position) - x) <= kPointRadius + 1 &&
        std::abs(EnvelopeY(r, e, points[i].level) - y) <= kPointRadius + 1) {
      return static_cast<LONG>(i);
    }
  }
  return -1;
}

LRESULT EnvelopeMessage(HWND window, ControlWindow& c, UINT message, WPARAM w, LPARAM l) {
  NxEnvelopeEditor& e = c.envelope;
  RECT r;
  GetClientRect(window, &r);
  const int x = GET_X_LPARAM(l);
  const int y = GET_Y_LPARAM(l);
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: {
      SetFocus(window);
      const LONG point = PointAt(r, e, x, y);
      if (point >= 0) {
        c.dragPoint = point;
        c.selectedPoint = point;
      } else if (e.MarkerShown() && std::abs(EnvelopeX(r, e, e.Marker()) - x) <= 2) {
        c.dragMarker = true;
      } else if (e.AddPoint(EnvelopeTime(r, e, x), EnvelopeLevel(r, e, y))) {
        c.dragPoint = PointAt(r, e, x, y);
        c.selectedPoint = c.dragPoint;
      }
      if (c.dragPoint >= 0 || c.dragMarker) SetCapture(window);
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (c.dragPoint >= 0) {
        e.MovePoint(c.dragPoint, EnvelopeTime(r, e, x), EnvelopeLevel(r, e, y));
        InvalidateRect(window, nullptr, FALSE);
      } else if (c.dragMarker) {
        e.MoveMarker(EnvelopeTime(r, e, x));
        InvalidateRect(window, nullptr, FALSE);
      }
      e.Hover(EnvelopeTime(r, e, x), EnvelopeLevel(r, e, y));
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      c.dragPoint = -1;
      c.dragMarker = false;
      if (message == WM_LBUTTONUP) ReleaseCapture();
      return 0;
    case WM_RBUTTONDOWN: {
      // A right click deletes the point under the pointer (not the first or the last).
      const LONG point = PointAt(r, e, x, y);
      if (point >= 0 && e.DeletePoint(point)) {
        c.selectedPoint = -1;
        InvalidateRect(window, nullptr, FALSE);
        return 0;
      }
      break;  // elsewhere the page's menu
    }
    case WM_KEYDOWN:
      if (w == VK_DELETE && c.selectedPoint >= 0 && e.DeletePoint(c.selectedPoint)) {
        c.selectedPoint = -1;
        InvalidateRect(window, nullptr, FALSE);
        return 0;
      }
      if ((w == VK_LEFT || w == VK_RIGHT) && e.PointCount() > 0) {
        // Arrows pick the point that Delete removes.
        const LONG last = e.PointCount() - 1;
        c.selectedPoint = std::clamp<LONG>(c.selectedPoint + (w == VK_LEFT ? -1 : 1), 0, last);
        InvalidateRect(window, nullptr, FALSE);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, w, l);
}

// ---- Logo (header strip) --------------------------------------------------------------------

constexpr int kItemWidth = 22;

// The item under x, counted from the right edge; -1 for none.
int HeaderItemAt(const RECT& r, const NxHeaderStrip& h, int x) {
  for (size_t i = 0; i < h.items.size(); ++i) {
    const int right = r.right - 4 - static_cast<int>(i) * (kItemWidth + 2);
    if (x >= right - kItemWidth && x < right) return static_cast<int>(i);
  }
  return -1;
}

HFONT HeaderFont(HWND window, int weight) {
  HFONT base = reinterpret_cast<HFONT>(SendMessageW(GetParent(window), WM_GETFONT, 0, 0));
  LOGFONTW font = {};
  if (base == nullptr || GetObjectW(base, sizeof font, &font) == 0) {
    font.lfHeight = -11;
    lstrcpyW(font.lfFaceName, L"Tahoma");
  }
  font.lfWeight = weight;
  return CreateFontIndirectW(&font);
}

void PaintHeader(HWND window, HDC dc, const ControlWindow& c) {
  RECT r;
  GetClientRect(window, &r);
  HBRUSH back = CreateSolidBrush(kNxHeaderBack);
  FillRect(dc, &r, back);
  DeleteObject(back);
  // The emblem: a source and three widening wave fronts, drawn in the strip's height.
  const int mid = r.bottom / 2;
  HBRUSH dot = CreateSolidBrush(RGB(250, 200, 70));
  RECT source = {6, mid - 2, 10, mid + 2};
  FillRect(dc, &source, dot);
  DeleteObject(dot);
  for (int i = 0; i < 3; ++i) {
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(250 - 40 * i, 200 - 30 * i, 70 + 50 * i));
    HGDIOBJ old = SelectObject(dc, pen);
    const int radius = 5 + 4 * i;
    Arc(dc, 8 - radius, mid - radius, 8 + radius, mid + radius, 8 + radius, mid - radius,
        8 + radius, mid + radius);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  HFONT bold = HeaderFont(window, FW_BOLD);
  HGDIOBJ oldFont = SelectObject(dc, bold);
  RECT title = {26, 0, r.right - 8, r.bottom};
  DrawTextW(dc, c.header.title.c_str(), -1, &title,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  for (size_t i = 0; i < c.header.items.size(); ++i) {
    const int right = r.right - 4 - static_cast<int>(i) * (kItemWidth + 2);
    RECT item = {right - kItemWidth, 2, right, r.bottom - 2};
    FrameRect(dc, &item, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawTextW(dc, c.header.items[i].text.c_str(), -1, &item,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
  DeleteObject(bold);
}

// ---- The shared procedure -------------------------------------------------------------------

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    const size_t cls = ClassIndexOf(window);
    auto* data = cls < kClassCount ? new (std::nothrow) ControlWindow : nullptr;
    if (data == nullptr) return FALSE;
    data->cls = cls;
    SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(data));
    return DefWindowProcW(window, message, w, l);
  }
  ControlWindow* c = Data(window);
  if (c == nullptr) return DefWindowProcW(window, message, w, l);
  switch (message) {
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, 0, 0);
      delete c;
      return DefWindowProcW(window, message, w, l);
    case WM_ERASEBKGND:
      return 1;  // each paint fills its whole client area
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC screen = BeginPaint(window, &ps);
      RECT r;
      GetClientRect(window, &r);
      // Drawn off screen first, so that dragging does not flicker.
      HDC dc = CreateCompatibleDC(screen);
      HBITMAP bitmap =
          CreateCompatibleBitmap(screen, std::max<LONG>(1, r.right), std::max<LONG>(1, r.bottom));
      HGDIOBJ old = SelectObject(dc, bitmap);
      switch (c->cls) {
        case kPicture:
          PaintPicture(window, dc, *c);
          break;
        case kEnvelope:
          PaintEnvelope(window, dc, *c);
          break;
        case kLogo:
          PaintHeader(window, dc, *c);
          break;
        default:
          PaintRange(window, dc, *c);
          break;
      }
      BitBlt(screen, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
      SelectObject(dc, old);
      DeleteObject(bitmap);
      DeleteDC(dc);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    default:
      break;
  }
  switch (c->cls) {
    case kFader:
    case kTrackbar:
    case kSpinner:
      return RangeMessage(window, *c, message, w, l);
    case kEnvelope:
      return EnvelopeMessage(window, *c, message, w, l);
    case kLogo:
      if (message == WM_LBUTTONUP) {
        RECT r;
        GetClientRect(window, &r);
        const int item = HeaderItemAt(r, c->header, GET_X_LPARAM(l));
        if (item >= 0) {
          SendMessageW(GetParent(window), WM_COMMAND,
                       MAKEWPARAM(c->header.items[static_cast<size_t>(item)].command, 0),
                       reinterpret_cast<LPARAM>(window));
        }
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, w, l);
}

}  // namespace

bool NxGetControlModels(HWND control, NxControlModels* models) {
  ControlWindow* c = control != nullptr ? Data(control) : nullptr;
  if (c == nullptr ||
      GetWindowLongPtrW(control, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&ControlProc)) {
    return false;
  }
  const bool range = c->cls == kFader || c->cls == kTrackbar || c->cls == kSpinner;
  models->range = range ? &c->range : nullptr;
  models->buddy = c->cls == kSpinner ? &c->buddy : nullptr;
  models->envelope = c->cls == kEnvelope ? &c->envelope : nullptr;
  models->header = c->cls == kLogo ? &c->header : nullptr;
  models->picture = c->cls == kPicture ? &c->picture : nullptr;
  return true;
}

bool NxInitControlClass(size_t index, HINSTANCE instance, LPCWSTR className) {
  if (index >= kClassCount) return false;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = ControlProc;
  wc.cbWndExtra = sizeof(LONG_PTR);  // the ControlWindow
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
  wc.lpszClassName = className;
  g_classNames[index] = className;
  return RegisterClassExW(&wc) != 0;
}

void NxTermControlClass(size_t, HINSTANCE instance, LPCWSTR className) {
  UnregisterClassW(className, instance);
}
