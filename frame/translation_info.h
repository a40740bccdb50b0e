// INxTranslationInfo: lets a host switch the filter's texts to its own user-interface language.
#pragma once

#include "platform/unknown.h"

struct INxTranslationInfo : public IUnknown {
  // `language` is a Windows language identifier. An English one (primary language 0x09) selects
  // the built-in English texts; any other selects the texts of the language file beside the
  // module. E_FAIL, with the current texts kept, when there is no language file to switch to.
  virtual HRESULT STDMETHODCALLTYPE SetLanguage(WORD language) = 0;

 protected:
  ~INxTranslationInfo() = default;
};
