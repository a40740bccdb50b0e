// IStaticFilterPreset: the filter's built-in presets, by index, for hosts that list them.
#pragma once

#include "platform/unknown.h"

struct IStaticFilterPreset : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetPresetCount(LONG* count) = 0;
  // E_INVALIDARG for an index outside the presets; the name is cut to `bufferUnits` units,
  // terminator included, and a size below 1 copies nothing.
  virtual HRESULT STDMETHODCALLTYPE GetPresetName(LONG index, WCHAR* buffer, LONG bufferUnits) = 0;
  // E_INVALIDARG for an index outside the presets; otherwise the result of replacing the
  // parameter record with the preset's.
  virtual HRESULT STDMETHODCALLTYPE ApplyPreset(LONG index) = 0;

 protected:
  ~IStaticFilterPreset() = default;
};
