// Preset loading through IPersistStream (frame/nx_plugin_presets.cpp) on arbitrary bytes: every
// layout, the packaged impulse that follows the record, and a built-in preset applied on top.
// Whatever was loaded must save and load again into another filter unchanged.
#include <cstring>

#include "fuzz/fuzz_temp.h"
#include "fuzz/fuzz_util.h"
#include "tests/support/plug_in.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A packaged impulse is received into the module folder.
  FuzzTempFolder("AURALITH_MODULE_DIR");
  CNxPlugIn* filter = NewPlugIn();
  CNxPlugIn* again = NewPlugIn();
  CMemoryStream* stream = CMemoryStream::Create(data, size);
  FUZZ_CHECK(filter != nullptr && again != nullptr && stream != nullptr);
  filter->Load(stream);
  stream->Release();
  if (size > 0) filter->ApplyPreset(data[0] % 8 == 0 ? data[size - 1] % 5 : -1);

  // Saving packages no impulse here: the comparison is of the records alone.
  filter->SetPackageImpulse(0);
  PlugInParams saved;
  FUZZ_CHECK(filter->GetParams(&saved) == S_OK);
  CMemoryStream* copy = CMemoryStream::Create();
  FUZZ_CHECK(copy != nullptr && filter->Save(copy, TRUE) == S_OK);
  ULARGE_INTEGER sizeMax = {};
  FUZZ_CHECK(filter->GetSizeMax(&sizeMax) == S_OK && sizeMax.QuadPart == copy->Bytes().size());
  LARGE_INTEGER start = {};
  copy->Seek(start, STREAM_SEEK_SET, nullptr);
  FUZZ_CHECK(again->Load(copy) == S_OK);
  PlugInParams loaded;
  again->GetParams(&loaded);
  FUZZ_CHECK(std::memcmp(&saved, &loaded, sizeof saved) == 0);
  copy->Release();
  static_cast<IBaseFilter*>(again)->Release();
  static_cast<IBaseFilter*>(filter)->Release();
  return 0;
}
