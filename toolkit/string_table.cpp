#include "toolkit/string_table.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "platform/file.h"
#include "platform/utf8.h"
#include "toolkit/english_strings.h"

namespace {

typedef std::basic_string<WCHAR> WideString;

constexpr const NxStringEntry* kEnglishStrings = kNxEnglishStrings;
constexpr size_t kEnglishCount = kNxEnglishStringCount;

constexpr bool IsSorted() {
  for (size_t i = 1; i < kEnglishCount; ++i) {
    if (kEnglishStrings[i - 1].id >= kEnglishStrings[i].id) return false;
  }
  return true;
}
static_assert(IsSorted(), "the string table is sorted by id, without repeats");

// A language file larger than this is not read; a text longer than this many units is refused.
constexpr ULONGLONG kMaxLanguageFileBytes = 1 << 20;
constexpr size_t kMaxTextUnits = 4095;

struct Replacements {
  std::mutex lock;
  std::map<UINT, LPCWSTR> texts;
  // Texts handed out stay valid for good, so replacement texts are only ever added.
  std::deque<WideString> storage;
};

// Made on first use and never destroyed: the module's load step may run before other static
// objects of the module are constructed, and texts must outlive every caller.
Replacements& State() {
  static Replacements* state = new Replacements;
  return *state;
}

LPCWSTR English(UINT id) {
  size_t low = 0;
  size_t high = kEnglishCount;
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    if (kEnglishStrings[middle].id == id) return kEnglishStrings[middle].text;
    if (kEnglishStrings[middle].id < id) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return nullptr;
}

// The printf conversions of `text` in order, each as its length modifier and conversion letter
// ("%02lu" gives "lu"); false for a conversion that takes a '*' argument or is cut off.
bool Conversions(LPCWSTR text, WideString* out) {
  for (const WCHAR* c = text; *c != 0; ++c) {
    if (*c != '%') continue;
    ++c;
    if (*c == '%') continue;
    while (*c == '-' || *c == '+' || *c == ' ' || *c == '#' || *c == '0') ++c;
    while (*c >= '0' && *c <= '9') ++c;
    if (*c == '.') {
      ++c;
      while (*c >= '0' && *c <= '9') ++c;
    }
    while (*c == 'h' || *c == 'l' || *c == 'L' || *c == 'z' || *c == 'j' || *c == 't') {
      out->push_back(*c++);
    }
    if (*c == 0 || *c == '*') return false;
    out->push_back(*c);
    out->push_back(' ');
  }
  return true;
}

bool SameConversions(LPCWSTR english, const WideString& translated) {
  WideString a;
  WideString b;
  return Conversions(english, &a) && Conversions(translated.c_str(), &b) && a == b;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[i + 1];
      if (next == 'n' || next == 't' || next == '\\') {
        out.push_back(next == 'n' ? '\n' : next == 't' ? '\t' : '\\');
        ++i;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

bool ReadLanguageFile(LPCWSTR path, std::string* content) {
  NxFileHandle file = NxOpenFile(path, NxFileAccess::Read, NxFileCreate::OpenExisting);
  if (file == nullptr) return false;
  ULONGLONG size = 0;
  bool ok = file->GetSize(&size) && size <= kMaxLanguageFileBytes;
  if (ok) {
    content->resize(static_cast<size_t>(size));
    DWORD done = 0;
    ok = size == 0 || (file->Read(&(*content)[0], static_cast<DWORD>(size), &done) && done == size);
  }
  NxCloseFile(file);
  return ok;
}

// Parses one `id=text` line into a replacement for a text of the table.
bool ParseLine(const std::string& line, UINT* id, WideString* text) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  size_t first = line.find_first_not_of(" \t");
  size_t last = line.find_last_not_of(" \t", eq - 1);
  if (first == std::string::npos || first >= eq || last - first + 1 > 9) return false;
  UINT value = 0;
  for (size_t i = first; i <= last; ++i) {
    if (line[i] < '0' || line[i] > '9') return false;
    value = value * 10 + static_cast<UINT>(line[i] - '0');
  }
  const LPCWSTR english = English(value);
  if (english == nullptr || !NxUtf8ToUtf16(Unescape(line.substr(eq + 1)), text) ||
      text->size() > kMaxTextUnits || text->find(WCHAR(0)) != WideString::npos ||
      !SameConversions(english, *text)) {
    return false;
  }
  *id = value;
  return true;
}

}  // namespace

LPCWSTR NxGetString(UINT id) {
  {
    Replacements& state = State();
    std::lock_guard<std::mutex> hold(state.lock);
    const auto found = state.texts.find(id);
    if (found != state.texts.end()) return found->second;
  }
  const LPCWSTR text = English(id);
  return text != nullptr ? text : NXW("");
}

bool NxLanguageFilePath(LPCWSTR modulePath, LPWSTR buffer, size_t capacity) {
  if (modulePath == nullptr || buffer == nullptr || capacity == 0) return false;
  WideString path(modulePath);
  const size_t name = path.find_last_of(NXW("/\\"));
  const size_t dot = path.find_last_of('.');
  if (dot != WideString::npos && (name == WideString::npos || dot > name)) path.resize(dot);
  path += NXW(".LNG");
  if (path.size() + 1 > capacity) return false;
  path.copy(buffer, path.size());
  buffer[path.size()] = 0;
  return true;
}

namespace {

// The replacements of the language file beside the module at `modulePath`; false when there is
// no readable language file.
bool ReadLanguageTexts(LPCWSTR modulePath, std::map<UINT, WideString>* texts) {
  WCHAR path[4096];
  std::string content;
  if (!NxLanguageFilePath(modulePath, path, 4096) || !ReadLanguageFile(path, &content)) {
    return false;
  }
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    UINT id = 0;
    WideString text;
    if (ParseLine(line, &id, &text)) (*texts)[id] = text;
  }
  return true;
}

void UseTexts(const std::map<UINT, WideString>& texts) {
  Replacements& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  state.texts.clear();
  for (const auto& entry : texts) {
    state.storage.push_back(entry.second);
    state.texts[entry.first] = state.storage.back().c_str();
  }
}

}  // namespace

UINT NxOpenStringTable(LPCWSTR modulePath) {
  std::map<UINT, WideString> texts;
  ReadLanguageTexts(modulePath, &texts);
  UseTexts(texts);
  return static_cast<UINT>(texts.size());
}

bool NxSwitchStringTable(LPCWSTR modulePath, bool translated) {
  std::map<UINT, WideString> texts;
  if (translated && !ReadLanguageTexts(modulePath, &texts)) return false;
  UseTexts(texts);
  return true;
}

void NxCloseStringTable() {
  Replacements& state = State();
  std::lock_guard<std::mutex> hold(state.lock);
  state.texts.clear();
}
