// Registration records a filter describes itself with (GetSetupData): the filter, its pins and
// the media types of each pin. The pin and type records are the filter mapper's own.
#pragma once

#include "platform/dshow/interfaces.h"

typedef REGPINTYPES AMOVIESETUP_MEDIATYPE;
typedef REGFILTERPINS AMOVIESETUP_PIN;

struct AMOVIESETUP_FILTER {
  const CLSID* clsID;
  const WCHAR* strName;
  DWORD dwMerit;
  UINT nPins;
  const AMOVIESETUP_PIN* lpPin;
};
#if defined(__x86_64__) || defined(_M_X64)
static_assert(sizeof(AMOVIESETUP_FILTER) == 32 && offsetof(AMOVIESETUP_FILTER, nPins) == 20 &&
                  offsetof(AMOVIESETUP_FILTER, lpPin) == 24,
              "AMOVIESETUP_FILTER layout");
#endif
