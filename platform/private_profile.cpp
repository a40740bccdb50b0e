#include "platform/private_profile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_replacement.h"
#include "platform/utf8.h"
#include "platform/wide_string.h"

namespace {

std::mutex g_profileLock;

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n";
  const size_t first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// One line of the file, kept verbatim so that comments and unknown lines survive a rewrite.
struct Line {
  std::string text;
  std::string section;  // the section the line belongs to (its own name for a header)
  bool isHeader = false;
  bool isEntry = false;
  std::string key;
  std::string value;
};

std::vector<Line> ParseProfile(const std::string& content) {
  std::vector<Line> lines;
  std::istringstream in(content);
  std::string text, section;
  while (std::getline(in, text)) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    Line line;
    line.text = text;
    const std::string trimmed = Trim(text);
    if (!trimmed.empty() && trimmed.front() == '[') {
      const size_t close = trimmed.find(']');
      section = Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      line.isHeader = true;
    } else if (!trimmed.empty() && trimmed.front() != ';') {
      const size_t eq = trimmed.find('=');
      line.isEntry = true;
      line.key = Trim(trimmed.substr(0, eq));
      line.value = eq == std::string::npos ? std::string() : Trim(trimmed.substr(eq + 1));
    }
    line.section = section;
    lines.push_back(line);
  }
  return lines;
}

std::string ResolvePath(LPCWSTR fileName) {
  std::string name;
  if (!NxUtf16ToUtf8(fileName, &name) || name.empty()) return std::string();
  if (name.find('/') != std::string::npos) return name;
  const std::string folder = NxSettingsFolder();
  return folder.empty() ? std::string() : folder + "/" + name;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// Through the file API, so the settings file is replaced whole or not at all.
bool WriteWhole(const std::string& path, const std::vector<Line>& lines) {
  if (!MakeFolders(path)) return false;
  std::basic_string<WCHAR> wide;
  std::string text;
  for (const Line& line : lines) text += line.text + '\n';
  if (!NxUtf8ToUtf16(path, &wide) || text.size() > 0xFFFFFFFFu) return false;
  NxFileReplacement* file = NxFileReplacement::Create(wide.c_str(), NxFileAccess::Write);
  if (file == nullptr) return false;
  DWORD done = 0;
  const bool ok = file->Write(text.data(), static_cast<DWORD>(text.size()), &done) &&
                  done == text.size() && file->Commit();
  NxCloseFile(file);
  return ok;
}

// Surrounding quotes of one kind are not part of a value.
std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// Copies a list of names, each terminated, plus a final terminator; as the platform does, a list
// that does not fit is cut and still ends in two terminators.
DWORD CopyNameList(const std::vector<std::string>& names, LPWSTR buffer, DWORD size) {
  if (size < 2) {
    if (size == 1) buffer[0] = 0;
    return 0;
  }
  DWORD used = 0;
  for (const std::string& name : names) {
    std::basic_string<WCHAR> wide;
    if (!NxUtf8ToUtf16(name, &wide)) continue;
    for (WCHAR c : wide) {
      if (used + 2 >= size) {
        buffer[used] = 0;
        buffer[used + 1] = 0;
        return size - 2;
      }
      buffer[used++] = c;
    }
    if (used + 2 >= size) {
      buffer[used] = 0;
      buffer[used + 1] = 0;
      return size - 2;
    }
    buffer[used++] = 0;
  }
  buffer[used] = 0;
  return used;
}

}  // namespace

std::string NxSettingsFolder() {
  const char* configured = std::getenv("AURALITH_CONFIG_DIR");
  if (configured != nullptr && configured[0] != 0) return configured;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] != 0) return std::string(xdg) + "/auralith";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != 0) return std::string(home) + "/.config/auralith";
  return std::string();
}

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                               DWORD size, LPCWSTR fileName) {
  if (buffer == nullptr || size == 0) return 0;
  std::lock_guard<std::mutex> hold(g_profileLock);
  const std::string path = ResolvePath(fileName);
  const std::vector<Line> lines = path.empty() ? std::vector<Line>() : ParseProfile(ReadWhole(path));
  std::string wantedSection, wantedKey;
  if (section != nullptr && !NxUtf16ToUtf8(section, &wantedSection)) section = nullptr;
  if (key != nullptr && !NxUtf16ToUtf8(key, &wantedKey)) key = nullptr;

  if (section == nullptr || key == nullptr) {
    std::vector<std::string> names;
    for (const Line& line : lines) {
      if (section == nullptr && line.isHeader) names.push_back(line.section);
      if (section != nullptr && line.isEntry && SameName(line.section, wantedSection))
        names.push_back(line.key);
    }
    return CopyNameList(names, buffer, size);
  }
  for (const Line& line : lines) {
    if (!line.isEntry || !SameName(line.section, wantedSection) || !SameName(line.key, wantedKey))
      continue;
    std::basic_string<WCHAR> wide;
    if (!NxUtf8ToUtf16(Unquote(line.value), &wide)) break;
    return static_cast<DWORD>(NxStrCopyW(buffer, size, wide.c_str()));
  }
  return static_cast<DWORD>(NxStrCopyW(buffer, size, defaultValue));
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName) {
  WCHAR text[64];
  const WCHAR missing[] = {0x1, 0};  // a value no file line can hold
  GetPrivateProfileStringW(section, key, missing, text, 64, fileName);
  if (NxStrCmpW(text, missing) == 0) return static_cast<UINT>(defaultValue);
  const bool negative = text[0] == '-';
  size_t i = negative || text[0] == '+' ? 1 : 0;
  long long value = 0;
  for (; text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 0xFFFFFFFFLL) value = 0xFFFFFFFFLL;  // saturate instead of overflowing
  }
  // A negative value comes back in two's complement, as callers storing into an int expect.
  return static_cast<UINT>(negative ? -value : value);
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName) {
  std::string wantedSection, wantedKey, newValue;
  if (section == nullptr || !NxUtf16ToUtf8(section, &wantedSection)) return FALSE;
  if (key != nullptr && !NxUtf16ToUtf8(key, &wantedKey)) return FALSE;
  if (value != nullptr && !NxUtf16ToUtf8(value, &newValue)) return FALSE;
  // A line break inside a key or value would make the next read see another line.
  if ((wantedSection + wantedKey + newValue).find_first_of("\r\n") != std::string::npos)
    return FALSE;
  std::lock_guard<std::mutex> hold(g_profileLock);
  const std::string path = ResolvePath(fileName);
  if (path.empty()) return FALSE;
  std::vector<Line> lines = ParseProfile(ReadWhole(path));

  std::vector<Line> kept;
  size_t insertAt = std::string::npos;  // behind the last line of the wanted section
  bool replaced = false;
  for (const Line& line : lines) {
    const bool inSection = SameName(line.section, wantedSection);
    if (inSection && key == nullptr) continue;  // the whole section goes
    if (inSection && line.isEntry && SameName(line.key, wantedKey)) {
      if (value == nullptr || replaced) continue;
      Line updated = line;
      updated.text = line.key + "=" + newValue;
      kept.push_back(updated);
      replaced = true;
      insertAt = kept.size();
      continue;
    }
    kept.push_back(line);
    if (inSection && (line.isHeader || !Trim(line.text).empty())) insertAt = kept.size();
  }
  if (key != nullptr && value != nullptr && !replaced) {
    Line entry;
    entry.text = wantedKey + "=" + newValue;
    if (insertAt == std::string::npos) {
      Line header;
      header.text = "[" + wantedSection + "]";
      kept.push_back(header);
      kept.push_back(entry);
    } else {
      kept.insert(kept.begin() + static_cast<ptrdiff_t>(insertAt), entry);
    }
  }
  return WriteWhole(path, kept) ? TRUE : FALSE;
}
