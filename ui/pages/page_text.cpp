#include "ui/pages/page_text.h"

#include <algorithm>
#include <climits>

#include "toolkit/string_table.h"

namespace {

NxText Digits(ULONGLONG value, size_t width, WCHAR fill) {
  NxText text;
  do {
    text.insert(text.begin(), static_cast<WCHAR>('0' + value % 10));
    value /= 10;
  } while (value != 0);
  while (text.size() < width) text.insert(text.begin(), fill);
  return text;
}

NxText Ascii(const char* text) { return NxText(text, text + std::char_traits<char>::length(text)); }

}  // namespace

NxText NxFixedText(LONG value, int decimals) {
  const ULONGLONG magnitude = value < 0
                                  ? 0ULL - static_cast<ULONGLONG>(static_cast<LONGLONG>(value))
                                  : static_cast<ULONGLONG>(value);
  ULONGLONG scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  NxText text = value < 0 ? Ascii("-") : NxText();
  text += Digits(magnitude / scale, 0, '0');
  if (decimals > 0) text += NXW(".") + Digits(magnitude % scale, decimals, '0');
  return text;
}

NxText NxLevelText(LONG tenthsOfDb, LONG floor) {
  if (tenthsOfDb <= floor) return Ascii("-Inf.");
  return NxFixedText(tenthsOfDb, 1) + Ascii(" dB");
}

LONG NxParseFixed(const NxText& text, int decimals, size_t maxUnits) {
  const NxText t = text.substr(0, maxUnits);
  size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  LONGLONG value = 0;
  int fraction = -1;  // digits read after the point, -1 before it
  for (; i < t.size(); ++i) {
    if (t[i] == '.' && fraction < 0) {
      fraction = 0;
      continue;
    }
    if (t[i] < '0' || t[i] > '9') break;
    if (fraction >= decimals) continue;  // cut, not rounded
    if (fraction >= 0) ++fraction;
    value = std::min<LONGLONG>(value * 10 + (t[i] - '0'), LONGLONG(1) << 40);
  }
  for (int k = std::max(fraction, 0); k < decimals; ++k) value *= 10;
  if (negative) value = -value;
  return static_cast<LONG>(std::clamp<LONGLONG>(value, LONG_MIN, LONG_MAX));
}

NxText NxFormatText(LPCWSTR pattern, std::initializer_list<NxFormatArgument> arguments) {
  NxText out;
  auto next = arguments.begin();
  for (LPCWSTR p = pattern; p != nullptr && *p != 0; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    if (*++p == '%') {
      out += '%';
      continue;
    }
    const WCHAR fill = *p == '0' ? '0' : ' ';
    size_t width = 0;
    while (*p >= '0' && *p <= '9') width = std::min<size_t>(width * 10 + (*p++ - '0'), 32);
    while (*p == 'l') ++p;
    if (next == arguments.end()) break;
    const NxFormatArgument& a = *next++;
    if (*p == 's' && a.text != nullptr) {
      out += a.text;
    } else if ((*p == 'd' || *p == 'u') && a.text == nullptr) {
      if (*p == 'd' && a.number < 0) out += '-';
      const ULONGLONG magnitude = a.number < 0 && *p == 'd'
                                      ? 0ULL - static_cast<ULONGLONG>(a.number)
                                      : static_cast<ULONGLONG>(a.number);
      out += Digits(magnitude, width, fill);
    } else {
      break;
    }
  }
  return out;
}

NxText NxHeaderTitle(LPCWSTR productName) {
  NxText text = productName != nullptr ? productName : NXW("");
  const NxText host = NXW("LUMEN ");
  const size_t at = text.find(host);
  if (at != NxText::npos) {
    text.erase(at, host.size());
  } else if (text.size() >= 5 && text.compare(text.size() - 5, 5, NXW("LUMEN")) == 0) {
    text.erase(text.size() - 5);
  }
  return text;
}

namespace {

struct StatusRow {
  LONG code;
  UINT stringId;
  bool busy;
  int colour;
};
constexpr StatusRow kStatusRows[] = {
    {1, IDS_STATUS_INITIALIZING, true, 0}, {2, IDS_STATUS_LOADING, true, 0},
    {3, IDS_STATUS_PREPARING, true, 0},    {4, IDS_STATUS_PROCESSING, false, 106},
    {5, IDS_STATUS_STOPPING, true, 0},     {6, IDS_STATUS_IMPULSE_NOT_FOUND, false, 108},
};

const StatusRow* FindStatus(LONG code) {
  for (const StatusRow& row : kStatusRows) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

}  // namespace

NxText NxStatusText(LONG status) {
  const StatusRow* row = FindStatus(status);
  return row != nullptr ? NxText(NxGetString(row->stringId)) : NxText();
}

bool NxStatusIsBusy(LONG status) {
  const StatusRow* row = FindStatus(status);
  return row != nullptr && row->busy;
}

int NxStatusColour(LONG status) {
  const StatusRow* row = FindStatus(status);
  return row != nullptr ? row->colour : 0;
}

LONG NxDecayToMarker(LONG decay, DWORD frames, DWORD rate) {
  if (frames == 0 || rate == 0 || decay <= 0) return 0;
  // position = ceil(decay / 100 s * rate / frames * 1000) = ceil(decay * rate * 10 / frames)
  const ULONGLONG scaled = static_cast<ULONGLONG>(decay) * rate * 10;
  const ULONGLONG position = (scaled + frames - 1) / frames;
  return static_cast<LONG>(std::min<ULONGLONG>(position, 1000));
}

LONG NxMarkerToDecay(LONG position, DWORD frames, DWORD rate) {
  if (rate == 0 || position <= 0) return 0;
  // decay = floor(position / 1000 * frames / rate * 100 s) = floor(position * frames / (rate * 10))
  const ULONGLONG decay =
      static_cast<ULONGLONG>(position) * frames / (static_cast<ULONGLONG>(rate) * 10);
  return static_cast<LONG>(std::min<ULONGLONG>(decay, LONG_MAX));
}
