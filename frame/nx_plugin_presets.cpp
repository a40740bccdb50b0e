// CNxPlugIn's persistence (IPersistStream) and built-in presets (IStaticFilterPreset).
//
// Preset stream, little-endian:
//   0  total bytes (unsigned 32-bit): the layout's own size plus the packaged impulse bytes
//   4  format GUID {6D41C283-3F7B-11D0-B5E2-00AA004E7C19}
//   20 version block: 24243, 120, 0, 0 (absent in the oldest layout)
//   36 PlugInParams, 2284 bytes; the packaged impulse file follows at 2320.
// Version 24242 has a 1244-byte record with ANSI file names (impulse at 1280); the oldest layout
// has a 1236-byte record of the same kind right after the head (impulse at 1256), without
// monoToStereo and pan.
#include <algorithm>
#include <cstring>

#include "frame/builtin_presets.h"
#include "frame/module_info.h"
#include "frame/nx_plugin.h"
#include "frame/nx_plugin_prop.h"
#include "platform/byte_order.h"
#include "platform/file_replacement.h"
#include "platform/codepage.h"
#include "platform/file.h"

namespace {

constexpr DWORD kHeadBytes = 20;
constexpr DWORD kVersionBlockBytes = 16;
constexpr LONG kCurrentVersion = 24243;
constexpr LONG kVersion24242 = 24242;
constexpr LONG kVersionBlockSecondWord = 120;
constexpr DWORD kCurrentLayoutBytes = kHeadBytes + kVersionBlockBytes + sizeof(PlugInParams);
constexpr DWORD kOldestRecordBytes = 1236;
constexpr DWORD k24242RecordBytes = 1244;
constexpr DWORD kOldestLayoutBytes = kHeadBytes + kOldestRecordBytes;
constexpr DWORD k24242LayoutBytes = kHeadBytes + kVersionBlockBytes + k24242RecordBytes;
static_assert(kCurrentLayoutBytes == 2320 && kOldestLayoutBytes == 1256 &&
                  k24242LayoutBytes == 1280,
              "preset layout sizes");

// Offsets inside an old record: the 16 integers match PlugInParams, the names are 260 ANSI
// bytes each.
constexpr size_t kOldNameBytes = 260;
constexpr size_t kOldNamesOffset = 64;
constexpr size_t kOldEnvelopeCountOffset = 1104;
constexpr size_t kOldEnvelopePointsOffset = 1108;
constexpr size_t kOldMonoToStereoOffset = 1236;
constexpr size_t kOldPanOffset = 1240;

// The packaged impulse is copied in pieces of this many bytes, so no size read from a stream
// ever sizes an allocation.
constexpr ULONG kCopyPieceBytes = 2048;

void PutGuid(BYTE* at, const GUID& guid) {
  NxPutLe32(at, guid.Data1);
  NxPutLe16(at + 4, guid.Data2);
  NxPutLe16(at + 6, guid.Data3);
  std::memcpy(at + 8, guid.Data4, 8);
}

// `name` appended to the module folder; false when the folder is unknown or the path would
// not fit.
bool ModuleFilePath(const WCHAR* name, WCHAR (&path)[kMaxPathUnits]) {
  const DWORD folder = NxGetModuleWorkFolder(path, kMaxPathUnits);
  size_t units = 0;
  while (units < kMaxPathUnits && name[units] != 0) ++units;
  if (folder == 0 || units == 0 || folder + units + 1 > kMaxPathUnits) return false;
  std::copy(name, name + units, path + folder);
  path[folder + units] = 0;
  return true;
}

// The packaged impulse named by `impulseFile`, open for reading, and its size; null when it is
// missing or too large for the stream's 32-bit total, and then nothing is packaged.
NxFileHandle OpenPackagedImpulse(const PlugInParams& params, DWORD* bytes) {
  *bytes = 0;
  if (params.packageImpulse == 0) return nullptr;
  WCHAR name[kMaxPathUnits];
  std::copy(params.impulseFile, params.impulseFile + kMaxPathUnits, name);
  name[kMaxPathUnits - 1] = 0;
  WCHAR path[kMaxPathUnits];
  if (!ModuleFilePath(name, path)) return nullptr;
  NxFileHandle file = NxOpenFile(path, NxFileAccess::Read, NxFileCreate::OpenExisting);
  ULONGLONG size = 0;
  if (file == nullptr || !file->GetSize(&size) || size > 0xFFFFFFFFull - kCurrentLayoutBytes) {
    NxCloseFile(file);
    return nullptr;
  }
  *bytes = static_cast<DWORD>(size);
  return file;
}

HRESULT WriteAll(IStream* stream, const void* bytes, ULONG count) {
  ULONG written = 0;
  const HRESULT hr = stream->Write(bytes, count, &written);
  if (FAILED(hr)) return hr;
  return written == count ? S_OK : STG_E_MEDIUMFULL;
}

// Reads exactly `count` bytes: a failed read gives its result, a stream that ends first (or
// claims more than was asked) E_FAIL.
HRESULT ReadAll(IStream* stream, void* bytes, ULONG count) {
  ULONG got = 0;
  while (got < count) {
    ULONG n = 0;
    const HRESULT hr = stream->Read(static_cast<BYTE*>(bytes) + got, count - got, &n);
    if (FAILED(hr)) return hr;
    if (n == 0 || n > count - got) return E_FAIL;
    got += n;
  }
  return S_OK;
}

HRESULT CopyFileToStream(NxFile* file, DWORD bytes, IStream* stream) {
  BYTE piece[kCopyPieceBytes];
  for (DWORD left = bytes; left != 0;) {
    const DWORD want = std::min<DWORD>(left, kCopyPieceBytes);
    DWORD got = 0;
    // A file that shrank since its size was written would leave the total wrong.
    if (!file->Read(piece, want, &got) || got != want) return E_FAIL;
    const HRESULT hr = WriteAll(stream, piece, want);
    if (FAILED(hr)) return hr;
    left -= want;
  }
  return S_OK;
}

HRESULT CopyStreamToFile(IStream* stream, DWORD bytes, NxFile* file) {
  BYTE piece[kCopyPieceBytes];
  for (DWORD left = bytes; left != 0;) {
    const ULONG want = std::min<DWORD>(left, kCopyPieceBytes);
    ULONG got = 0;
    const HRESULT hr = stream->Read(piece, want, &got);
    if (FAILED(hr)) return hr;
    if (got == 0 || got > want) return E_FAIL;
    DWORD written = 0;
    if (!file->Write(piece, got, &written)) return E_FAIL;
    left -= got;
  }
  return S_OK;
}

// Receives `bytes` of packaged impulse beside "~IRX.TMP" and, once all arrived, puts it in place
// of "~IRX.TMP". S_FALSE when no file could be created there (the impulse is dropped); on any
// other failure "~IRX.TMP" is as it was.
HRESULT ReceivePackagedImpulse(IStream* stream, DWORD bytes) {
  WCHAR target[kMaxPathUnits];
  if (!NxGetPackagedImpulsePath(target)) return S_FALSE;
  NxFileReplacement* file = NxFileReplacement::Create(target, NxFileAccess::Write);
  if (file == nullptr) return S_FALSE;
  HRESULT hr = CopyStreamToFile(stream, bytes, file);
  if (SUCCEEDED(hr) && !file->Commit()) hr = E_FAIL;
  NxCloseFile(file);
  return hr;
}

// One ANSI name of an old record into `name`, always terminated within its 260 units.
void ConvertOldName(const BYTE* ansi, WCHAR (&name)[kMaxPathUnits]) {
  std::fill(name, name + kMaxPathUnits, WCHAR(0));
  const void* end = std::memchr(ansi, 0, kOldNameBytes);
  size_t length = end != nullptr ? static_cast<const BYTE*>(end) - ansi : kOldNameBytes;
  length = std::min<size_t>(length, kMaxPathUnits - 1);
  if (length == 0) return;
  const int units = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(ansi),
                                        static_cast<int>(length), name, kMaxPathUnits - 1);
  name[std::max(units, 0)] = 0;
}

void ConvertOldRecord(const BYTE* old, bool hasChannelFields, PlugInParams* record) {
  std::memset(record, 0, sizeof *record);
  LONG* integers = &record->dryOut;
  for (int i = 0; i < 16; ++i) integers[i] = NxGetLeI32(old + 4 * i);
  WCHAR(*names[])
  [kMaxPathUnits] = {&record->impulseFile, &record->testFile, &record->recordedFile,
                     &record->outputFile};
  for (size_t i = 0; i < 4; ++i)
    ConvertOldName(old + kOldNamesOffset + i * kOldNameBytes, *names[i]);
  record->envelopeCount = NxGetLeI32(old + kOldEnvelopeCountOffset);
  for (int i = 0; i < kMaxEnvelopePoints; ++i) {
    record->envelopePoints[i].position = NxGetLeI32(old + kOldEnvelopePointsOffset + 8 * i);
    record->envelopePoints[i].level = NxGetLeI32(old + kOldEnvelopePointsOffset + 8 * i + 4);
  }
  if (hasChannelFields) {
    record->monoToStereo = NxGetLeI32(old + kOldMonoToStereoOffset);
    record->pan = NxGetLeI32(old + kOldPanOffset);
  }
}

// Reads the version block and the record after a valid head; `layoutBytes` gets the size of
// the layout found, where its packaged impulse starts.
HRESULT ReadRecord(IStream* stream, PlugInParams* record, DWORD* layoutBytes) {
  BYTE old[k24242RecordBytes];
  HRESULT hr = ReadAll(stream, old, kVersionBlockBytes);
  if (FAILED(hr)) return hr;
  const LONG version = NxGetLeI32(old);
  if (version == kCurrentVersion) {
    *layoutBytes = kCurrentLayoutBytes;
    return ReadAll(stream, record, sizeof *record);
  }
  if (version == kVersion24242) {
    *layoutBytes = k24242LayoutBytes;
    hr = ReadAll(stream, old, k24242RecordBytes);
  } else {
    // No version block: those 16 bytes open the record.
    *layoutBytes = kOldestLayoutBytes;
    hr = ReadAll(stream, old + kVersionBlockBytes, kOldestRecordBytes - kVersionBlockBytes);
  }
  if (SUCCEEDED(hr)) ConvertOldRecord(old, version == kVersion24242, record);
  return hr;
}

}  // namespace

HRESULT STDMETHODCALLTYPE CNxPlugIn::GetClassID(CLSID* clsid) {
  return CTransformFilter::GetClassID(clsid);
}

HRESULT STDMETHODCALLTYPE CNxPlugIn::IsDirty() {
  return CAudioTransform::IsDirty() ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CNxPlugIn::Save(IStream* stream, BOOL clearDirty) {
  if (stream == nullptr) return E_POINTER;
  CAutoLock hold(Lock());
  PlugInParams params;
  GetParams(&params);
  DWORD impulseBytes = 0;
  NxFileHandle impulse = OpenPackagedImpulse(params, &impulseBytes);

  BYTE head[kHeadBytes + kVersionBlockBytes] = {};
  NxPutLe32(head, kCurrentLayoutBytes + impulseBytes);
  PutGuid(head + 4, IID_INxPlugInProp);
  NxPutLe32(head + kHeadBytes, kCurrentVersion);
  NxPutLe32(head + kHeadBytes + 4, kVersionBlockSecondWord);
  HRESULT hr = WriteAll(stream, head, kHeadBytes);
  if (SUCCEEDED(hr)) hr = WriteAll(stream, head + kHeadBytes, kVersionBlockBytes);
  // The record is its own stored layout (little-endian, no padding).
  if (SUCCEEDED(hr)) hr = WriteAll(stream, &params, sizeof params);
  if (SUCCEEDED(hr) && impulse != nullptr) hr = CopyFileToStream(impulse, impulseBytes, stream);
  if (SUCCEEDED(hr) && clearDirty) ClearDirty();
  NxCloseFile(impulse);
  return hr;
}

HRESULT STDMETHODCALLTYPE CNxPlugIn::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  PlugInParams params;
  GetParams(&params);
  DWORD impulseBytes = 0;
  NxCloseFile(OpenPackagedImpulse(params, &impulseBytes));
  size->QuadPart = static_cast<ULONGLONG>(kCurrentLayoutBytes) + impulseBytes;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CNxPlugIn::Load(IStream* stream) {
  if (stream == nullptr) return E_POINTER;
  CAutoLock hold(Lock());
  BYTE head[kHeadBytes];
  HRESULT hr = ReadAll(stream, head, kHeadBytes);
  if (FAILED(hr)) return hr;
  const DWORD total = NxGetLe32(head);
  BYTE expectedGuid[16];
  PutGuid(expectedGuid, IID_INxPlugInProp);
  if (total < kOldestLayoutBytes || std::memcmp(head + 4, expectedGuid, 16) != 0) return E_FAIL;

  PlugInParams record;
  std::memset(&record, 0, sizeof record);
  DWORD layoutBytes = 0;
  hr = ReadRecord(stream, &record, &layoutBytes);
  if (FAILED(hr)) return hr;

  // A total below the layout's own size claims no impulse bytes.
  const DWORD impulseBytes = total > layoutBytes ? total - layoutBytes : 0;
  bool impulseReceived = false;
  if (record.packageImpulse != 0 && impulseBytes != 0) {
    hr = ReceivePackagedImpulse(stream, impulseBytes);
    impulseReceived = hr == S_OK;
    if (hr == S_FALSE) hr = S_OK;
  }
  if (SetParams(&record) == S_OK && impulseReceived) SetImpulseFile(kPackagedImpulseName);
  NotifyWindows(kNotifyParamsReplaced);
  return hr;
}

HRESULT STDMETHODCALLTYPE CNxPlugIn::GetPresetCount(LONG* count) {
  if (count == nullptr) return E_POINTER;
  *count = kBuiltInPresetCount;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CNxPlugIn::GetPresetName(LONG index, WCHAR* buffer, LONG bufferUnits) {
  if (GetBuiltInPreset(index) == nullptr) return E_INVALIDARG;
  if (bufferUnits < 1) return S_OK;
  if (buffer == nullptr) return E_POINTER;
  const LPCWSTR name = BuiltInPresetName(index);
  LONG units = 0;
  while (units < bufferUnits - 1 && name[units] != 0) {
    buffer[units] = name[units];
    ++units;
  }
  buffer[units] = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CNxPlugIn::ApplyPreset(LONG index) {
  const BuiltInPreset* preset = GetBuiltInPreset(index);
  if (preset == nullptr) return E_INVALIDARG;
  CAutoLock hold(Lock());
  const HRESULT hr = SetParams(&preset->params);
  if (hr == S_OK) NotifyWindows(kNotifyParamsReplaced);
  return hr;
}
