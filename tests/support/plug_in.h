// The filter as a host makes it (holding its one reference), and the preset stream it saves;
// for tests, fuzz targets and the corpus writer (so no test framework here).
#pragma once

#include "frame/nx_plugin.h"
#include "platform/dshow/stream.h"
#include "tests/support/riff_bytes.h"

inline CNxPlugIn* NewPlugIn() {
  auto* filter = static_cast<CNxPlugIn*>(CNxPlugIn::CreateInstance(nullptr, nullptr));
  if (filter != nullptr) static_cast<IBaseFilter*>(filter)->AddRef();
  return filter;
}

inline Bytes SavedPreset(CNxPlugIn* filter, BOOL clearDirty = FALSE) {
  CMemoryStream* stream = CMemoryStream::Create();
  filter->Save(stream, clearDirty);
  Bytes bytes = stream->Bytes();
  stream->Release();
  return bytes;
}
