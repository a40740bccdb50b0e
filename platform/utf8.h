// UTF-16 <-> UTF-8, for POSIX file names and the settings file.
#pragma once

#include <string>

#include "platform/types.h"

// False (and a partial `out`) on an unpaired surrogate or a null `text`.
bool NxUtf16ToUtf8(LPCWSTR text, std::string* out);

// False on malformed, overlong or surrogate sequences.
bool NxUtf8ToUtf16(const std::string& text, std::basic_string<WCHAR>* out);
