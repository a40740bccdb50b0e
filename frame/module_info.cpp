#include "frame/module_info.h"

#include <algorithm>

#include "platform/file.h"
#include "toolkit/string_table.h"

typedef std::basic_string<WCHAR> WideString;

namespace {

constexpr LPCWSTR kProductName = NXW("Auralith");

HINSTANCE g_instance = nullptr;

// Replaces "%s" with `name` (any flags or width ignored) and "%%" with '%'.
WideString FormatWithName(LPCWSTR format, LPCWSTR name) {
  WideString out;
  for (const WCHAR* c = format; *c != 0; ++c) {
    if (*c != '%') {
      out.push_back(*c);
      continue;
    }
    const WCHAR* spec = c + 1;
    while (*spec != 0 && *spec != 's' && *spec != '%' &&
           WideString(NXW("-+ #0123456789.")).find(*spec) != WideString::npos) {
      ++spec;
    }
    if (*spec == '%') {
      out.push_back('%');
    } else if (*spec == 's') {
      out += name;
    } else {
      break;
    }
    c = spec;
  }
  return out;
}

}  // namespace

HINSTANCE NxModuleInstance() { return g_instance; }

void NxSetModuleInstance(HINSTANCE instance) { g_instance = instance; }

NxAboutTexts NxGetAboutTexts() {
  NxAboutTexts texts;
  texts.version = NXW("Version 1.1 (Build 2200) 64-bit");
  texts.heading = FormatWithName(NxGetString(IDS_ABOUT_HEADING), kProductName);
  texts.title = FormatWithName(NxGetString(IDS_ABOUT_TITLE), kProductName);
  return texts;
}

bool NxAboutBoxEnds(WORD id, INT_PTR* result) {
  if (id != 1 && id != 2) return false;
  if (result != nullptr) *result = id == 1 ? TRUE : FALSE;
  return true;
}

bool NxGetPackagedImpulsePath(WCHAR (&path)[kMaxPathUnits]) {
  const DWORD folder = NxGetModuleWorkFolder(path, kMaxPathUnits);
  const DWORD nameUnits = sizeof kPackagedImpulseName / sizeof(WCHAR);  // terminator included
  if (folder == 0 || folder + nameUnits > kMaxPathUnits) {
    path[0] = 0;
    return false;
  }
  std::copy(kPackagedImpulseName, kPackagedImpulseName + nameUnits, path + folder);
  return true;
}
