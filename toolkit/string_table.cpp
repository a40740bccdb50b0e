#include "toolkit/string_table.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "platform/file.h"
#include "platform/utf8.h"

namespace {

typedef std::basic_string<WCHAR> WideString;

struct StringEntry {
  UINT id;
  LPCWSTR text;
};

// Sorted by id: lookups search it by halving.
constexpr StringEntry kEnglishStrings[] = {
    {IDS_PAGE_GENERAL, NXW("General")},
    {IDS_PAGE_ENVELOPE, NXW("Envelope")},
    {IDS_PAGE_RECOVER, NXW("Recover")},
    {IDS_PAGE_SUMMARY, NXW("Summary")},
    {IDS_PRESET_DEFAULT, NXW("(Default)")},
    {IDS_PRESET_HIGHEST_QUALITY, NXW("Reset, highest quality")},
    {IDS_PRESET_MONO_TO_STEREO, NXW("Reset, highest quality, with mono to stereo conversion")},
    {IDS_PRESET_PREVIEW, NXW("Reset, lower quality for real-time previewing")},
    {IDS_MENU_PRESETS, NXW("Presets")},
    {IDS_MENU_HELP, NXW("Help")},
    {IDS_MENU_ABOUT, NXW("About...")},
    {IDS_ABOUT_HEADING, NXW("%s Plug-In")},
    {IDS_ABOUT_TITLE, NXW("About %s")},
    {IDS_MESSAGE_CAPTION, NXW("Auralith")},
    {IDS_PROGRESS_RECOVERING, NXW("Recovering Impulse")},
    {IDS_PROGRESS_RESAMPLING, NXW("Resampling")},
    {IDS_STATUS_LOADING, NXW("Loading impulse...")},
    {IDS_STATUS_INITIALIZING, NXW("Initializing...")},
    {IDS_STATUS_STOPPING, NXW("Stopping processing...")},
    {IDS_STATUS_PROCESSING, NXW("[Processing]")},
    {IDS_STATUS_PREPARING, NXW("Preparing impulse...")},
    {IDS_STATUS_IMPULSE_NOT_FOUND, NXW("[Impulse not found]")},
    {IDS_IMPULSE_IN_PRESET, NXW("<Impulse is contained in preset>")},
    {IDS_ENVELOPE_POSITION, NXW("%d %% at %lu.%02lu Seconds")},
    {IDS_IMPULSE_ATTRIBUTES, NXW("%s Hz, %lu Channels, %lu.%02lu Seconds")},
    {IDS_SECOND_SPIKE_LOW,
     NXW("The level of the second spike is low.\n\nDo you wish to use it as a timing spike?")},
    {IDS_END_SPIKE_NOT_FOUND, NXW("The end spike was not found.")},
    {IDS_SPIKES_MISALIGNED, NXW("The left and right spikes found are misaligned.\n\nDo you "
                                "still want to use the timing spikes?")},
    {IDS_FIRST_SPIKE_LOW,
     NXW("The level of the first spike is low.\n\nDo you wish to use it as a timing spike?")},
    {IDS_RECOVERY_DONE,
     NXW("The recovered impulse was successfully output to the destination file.")},
    {IDS_TEST_FILE_READ_ERROR, NXW("An error occured reading the test file.")},
    {IDS_RECORDED_FILE_READ_ERROR, NXW("An error occured reading the recorded file.")},
    {IDS_RECORDED_FILE_TOO_LARGE,
     NXW("The selected recorded file is much larger than the test tone size. Make sure that "
         "you have trimmed the recorded file properly or selected the correct test tone file "
         "and Impulse recovery mode.")},
    {IDS_FILES_NOT_SPECIFIED, NXW("Before recovering an impulse, you must first specify a "
                                  "recorded file, test file, and impulse output file.")},
    {IDS_RECORDED_FILE_NOT_FOUND, NXW("The specified recorded file could not be found.")},
    {IDS_TEST_FILE_NOT_FOUND, NXW("The specified test file could not be found.")},
    {IDS_PACKAGE_ERROR, NXW("An error occured trying to package the preset.")},
    {IDS_OUT_OF_MEMORY,
     NXW("Insufficient memory. Try closing other applications. Make sure virtual memory is "
         "enabled and that you have sufficient swapfile disk space.")},
    {IDS_NOT_A_TEST_FILE,
     NXW("The selected file is not a valid test file. Please contact Quorvex for information "
         "regarding creating your own test files.")},
    {IDS_RECORDED_FILE_TOO_SMALL,
     NXW("The selected recorded file is much smaller than the test tone size. Make sure that "
         "you have trimmed the recorded file properly or selected the correct test tone "
         "file.")},
    {IDS_OUTPUT_WRITE_ERROR,
     NXW("An error occured while writing the output file. Please verify your available free "
         "disk space and write privileges.")},
    {IDS_HELP_ITEM, NXW("?")},
    {IDS_FILTER_IMPULSE, NXW("Impulse File (*.irx;*.wav)\t*.irx;*.wav\t")},
    {IDS_FILTER_WAVE, NXW("Microsoft Wave File (*.wav)\t*.wav\t")},
    {IDS_OPEN_IMPULSE_FILE, NXW("Open Impulse File")},
    {IDS_SELECT_TEST_TONE_FILE, NXW("Select Test Tone File")},
    {IDS_SELECT_RECORDED_FILE, NXW("Select Recorded File")},
    {IDS_SELECT_DESTINATION_FILE, NXW("Select Destination File")},
    {IDS_PRODUCT_NAME, NXW("Auralith")},
};
constexpr size_t kEnglishCount = sizeof kEnglishStrings / sizeof kEnglishStrings[0];

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
