#include "tools/preset_io.h"

#include <cstring>
#include <vector>

#include "platform/byte_order.h"
#include "platform/dshow/stream.h"
#include "tools/cli.h"

namespace {

constexpr unsigned long kHeadBytes = 20;
constexpr unsigned long kCurrentLayoutBytes = 2320;
constexpr unsigned long k24242LayoutBytes = 1280;
constexpr unsigned long kOldestLayoutBytes = 1256;

std::string LoadFailure(HRESULT hr) {
  if (hr == E_FAIL) return "not an Auralith preset, or cut short";
  if (hr == E_OUTOFMEMORY) return "not enough memory to load it";
  return "cannot be loaded (" + HresultText(hr) + ")";
}

// Up to `count` bytes from the start of the file.
std::vector<BYTE> ReadStart(const std::string& path, ULONG count, unsigned long* fileBytes) {
  CFileStream* stream = nullptr;
  if (FAILED(CFileStream::Open(Wide(path).c_str(), NxFileAccess::Read, NxFileCreate::OpenExisting,
                               &stream)))
    FileError(path, "no such file, or it cannot be opened");
  STATSTG stat = {};
  stream->Stat(&stat, STATFLAG_NONAME);
  *fileBytes = stat.cbSize.QuadPart > 0xFFFFFFFFull ? 0xFFFFFFFFul
                                                    : static_cast<unsigned long>(stat.cbSize.QuadPart);
  std::vector<BYTE> bytes(count);
  ULONG got = 0;
  ULONG total = 0;
  while (total < count && SUCCEEDED(stream->Read(bytes.data() + total, count - total, &got)) && got != 0)
    total += got;
  stream->Release();
  bytes.resize(total);
  return bytes;
}

}  // namespace

void LoadPresetFile(CNxPlugIn* plugin, const std::string& path) {
  CFileStream* stream = nullptr;
  if (FAILED(CFileStream::Open(Wide(path).c_str(), NxFileAccess::Read, NxFileCreate::OpenExisting,
                               &stream)))
    FileError(path, "no such file, or it cannot be opened");
  const HRESULT hr = plugin->Load(stream);
  stream->Release();
  if (FAILED(hr)) FileError(path, LoadFailure(hr));
}

void SavePresetFile(CNxPlugIn* plugin, const std::string& path) {
  CFileStream* stream = nullptr;
  if (FAILED(CFileStream::Open(Wide(path).c_str(), NxFileAccess::Write, NxFileCreate::CreateAlways,
                               &stream)))
    FileError(path, "cannot be created: " + LastFileError());
  // The preset replaces the file only once whole (Commit); a failure leaves the old one.
  HRESULT hr = plugin->Save(stream, TRUE);
  if (SUCCEEDED(hr)) hr = stream->Commit(0);
  const std::string reason = LastFileError();
  stream->Release();
  if (hr == STG_E_WRITEFAULT || hr == STG_E_MEDIUMFULL) FileError(path, reason);
  if (FAILED(hr)) FileError(path, "write failed (" + HresultText(hr) + ")");
}

PresetHead ReadPresetHead(const std::string& path) {
  PresetHead head = {};
  const std::vector<BYTE> bytes = ReadStart(path, kHeadBytes + 4, &head.fileBytes);
  BYTE guid[16];
  const GUID& id = IID_INxPlugInProp;
  NxPutLe32(guid, id.Data1);
  NxPutLe16(guid + 4, id.Data2);
  NxPutLe16(guid + 6, id.Data3);
  std::memcpy(guid + 8, id.Data4, 8);
  if (bytes.size() < kHeadBytes + 4 || std::memcmp(bytes.data() + 4, guid, 16) != 0)
    FileError(path, "not an Auralith preset");
  head.totalBytes = NxGetLe32(bytes.data());
  const long version = static_cast<long>(NxGetLeI32(bytes.data() + kHeadBytes));
  head.version = version == 24243 || version == 24242 ? version : 0;
  head.layoutBytes = version == 24243   ? kCurrentLayoutBytes
                     : version == 24242 ? k24242LayoutBytes
                                        : kOldestLayoutBytes;
  if (head.totalBytes < kOldestLayoutBytes) FileError(path, "not an Auralith preset (size field too small)");
  if (head.fileBytes < head.layoutBytes) FileError(path, "cut short: the settings record is incomplete");
  head.impulseBytes = head.totalBytes > head.layoutBytes ? head.totalBytes - head.layoutBytes : 0;
  return head;
}

void LoadPresetRecord(CNxPlugIn* plugin, const std::string& path, const PresetHead& head) {
  unsigned long fileBytes = 0;
  std::vector<BYTE> bytes = ReadStart(path, head.layoutBytes, &fileBytes);
  if (bytes.size() < head.layoutBytes) FileError(path, "cut short: the settings record is incomplete");
  // A total of the layout's own size claims no packaged impulse, so nothing is received.
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(head.layoutBytes >> (8 * i));
  CMemoryStream* stream = CMemoryStream::Create(bytes.data(), bytes.size());
  if (stream == nullptr) Failure("out of memory");
  const HRESULT hr = plugin->Load(stream);
  stream->Release();
  if (FAILED(hr)) FileError(path, LoadFailure(hr));
}
