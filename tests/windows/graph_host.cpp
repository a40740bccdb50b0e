// A host of the registered plug-in in the system's own DirectShow graph: only system objects
// (filter graph manager, File Source, WAVE Parser, Sample Grabber, Null Renderer, filter mapper,
// streams) and the reverb created by its CLSID through COM. scripts/test-graph.sh drives it.
//
//   graph_host registry present|absent DLL
//       the class keys, the legacy key and the filter mapper's entry are all there / all gone
//   graph_host process INPUT OUTPUT [--preset F] [--impulse F] [--quality N]
//                      [--mono-to-stereo] [--save-preset F]
//       renders INPUT through the reverb (settings from the preset, then the options) into
//       OUTPUT, runs again after a seek to 0 while running and after stop and seek, each run
//       identical to the first; then the module unloads and "~IRX.TMP" is gone
//   graph_host autoconnect INPUT
//       graph building from the WAVE Parser's output never inserts the reverb
//
// Prints one line per check ("ok ..." or "FAILED ..."); exits 1 when any check failed.
#include <windows.h>
#include <dshow.h>
#include <mmreg.h>
#include <ks.h>
#include <ksmedia.h>
#include <qedit.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "frame/nx_plugin_prop.h"
#include "impulse/wave_writer.h"
#include "platform/dshow/transform_filter.h"
#include "platform/dshow/transform_input_pin.h"
#include "platform/file.h"

namespace {

typedef std::wstring WString;

const CLSID kPlugIn = {0x6D41C280, 0x3F7B, 0x11D0, {0xB5, 0xE2, 0x00, 0xAA, 0x00, 0x4E, 0x7C, 0x19}};
const CLSID kWaveParser = {0xD51BD5A1, 0x7548, 0x11CF, {0xA5, 0x20, 0x00, 0x80, 0xC7, 0x7E, 0xF5, 0x8A}};
const CLSID kAsyncReader = {0xE436EBB5, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const CLSID kSampleGrabber = {0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
const CLSID kNullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

struct ClassRow {
  const wchar_t* clsid;
  const wchar_t* name;
};
const ClassRow kClasses[] = {
    {L"{6D41C280-3F7B-11D0-B5E2-00AA004E7C19}", L"Quorvex Auralith"},
    {L"{6D41C281-3F7B-11D0-B5E2-00AA004E7C19}", L"Quorvex Auralith Property Page"},
    {L"{6D41C282-3F7B-11D0-B5E2-00AA004E7C19}", L"Quorvex Auralith Property Page 2"},
    {L"{2F9A8B30-8E14-11D0-A7C4-00AA0058D3E6}", L"Quorvex Auralith Property Page 3"},
    {L"{8B3D61E0-F2A7-11D0-A7C4-00AA0058D3E6}", L"Quorvex Auralith Property Page 4"},
};
const wchar_t kLegacyKey[] = L"CLSID\\{5E0C2A71-94D3-4B8E-A6F2-1C7D3B9E4A10}";
const wchar_t kInstanceKey[] =
    L"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\"
    L"{6D41C280-3F7B-11D0-B5E2-00AA004E7C19}";

int g_failures = 0;

void Check(bool ok, const std::string& what, HRESULT hr = S_OK) {
  if (!ok) ++g_failures;
  std::printf(ok ? "ok %s\n" : "FAILED %s (0x%08lX)\n", what.c_str(), static_cast<unsigned long>(hr));
}

std::string Narrow(const WString& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
  return out;
}

WString FullPath(const WString& path) {
  wchar_t full[MAX_PATH];
  const DWORD units = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return units != 0 && units < MAX_PATH ? WString(full) : path;
}

// The text value `name` (null: default) of HKCR\`key`, or "<absent>".
WString RegistryText(const WString& key, const wchar_t* name) {
  wchar_t text[MAX_PATH] = {};
  DWORD bytes = sizeof text;
  const LONG status =
      RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &bytes);
  return status == ERROR_SUCCESS ? WString(text) : L"<absent>";
}

bool KeyExists(const WString& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return false;
  RegCloseKey(handle);
  return true;
}

template <typename T>
struct Com {
  T* p = nullptr;
  ~Com() { Reset(); }
  void Reset() {
    if (p != nullptr) p->Release();
    p = nullptr;
  }
  T** Out() {
    Reset();
    return &p;
  }
  void** Void() { return reinterpret_cast<void**>(Out()); }
  T* operator->() const { return p; }
};

// Whether the filter mapper finds the reverb for an input of `inputType` (major, minor) and an
// output of `outputType`, at `merit` or more.
bool MapperFinds(IFilterMapper2* mapper, DWORD merit, const GUID (&inputType)[2],
                 const GUID (&outputType)[2]) {
  Com<IEnumMoniker> found;
  if (FAILED(mapper->EnumMatchingFilters(found.Out(), 0, FALSE, merit, TRUE, 1, inputType, nullptr,
                                         nullptr, FALSE, TRUE, 1, outputType, nullptr, nullptr)))
    return false;
  bool seen = false;
  for (IMoniker* moniker = nullptr; found->Next(1, &moniker, nullptr) == S_OK; moniker->Release()) {
    Com<IPropertyBag> bag;
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.Void())) &&
        SUCCEEDED(bag->Read(L"CLSID", &value, nullptr)) && value.vt == VT_BSTR &&
        lstrcmpiW(value.bstrVal, kClasses[0].clsid) == 0) {
      VariantClear(&value);
      seen = SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR &&
             WString(value.bstrVal) == kClasses[0].name;
    }
    VariantClear(&value);
  }
  return seen;
}

void CheckRegistry(bool present, const WString& dll) {
  const WString path = FullPath(dll);
  for (const ClassRow& row : kClasses) {
    const WString key = WString(L"CLSID\\") + row.clsid;
    const WString server = key + L"\\InprocServer32";
    if (present) {
      Check(RegistryText(key, nullptr) == row.name, Narrow(key + L" = " + row.name));
      Check(lstrcmpiW(RegistryText(server, nullptr).c_str(), path.c_str()) == 0,
            Narrow(server + L" = " + path));
      Check(RegistryText(server, L"ThreadingModel") == L"Both", Narrow(server + L" ThreadingModel = Both"));
    } else {
      Check(!KeyExists(key), Narrow(key + L" absent"));
    }
  }
  Check(!KeyExists(kLegacyKey), Narrow(WString(kLegacyKey) + L" absent"));
  Check(KeyExists(kInstanceKey) == present, Narrow(WString(kInstanceKey) + (present ? L" present" : L" absent")));

  Com<IFilterMapper2> mapper;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                mapper.Void());
  Check(SUCCEEDED(hr), "filter mapper created", hr);
  if (FAILED(hr)) return;
  // The pins take any audio type both ways, nothing else, at merit 0x200000 exactly.
  const GUID pcm[2] = {MEDIATYPE_Audio, MEDIASUBTYPE_PCM};
  const GUID ieee[2] = {MEDIATYPE_Audio, MEDIASUBTYPE_IEEE_FLOAT};
  const GUID video[2] = {MEDIATYPE_Video, GUID_NULL};
  struct {
    const char* what;
    DWORD merit;
    const GUID (&in)[2];
    const GUID (&out)[2];
    bool found;
  } const rows[] = {
      {"audio in, audio out, merit 0x200000", 0x200000, pcm, ieee, present},
      {"audio in, audio out, merit 0x200001", 0x200001, pcm, pcm, false},
      {"video in", 0, video, pcm, false},
      {"video out", 0, ieee, video, false},
  };
  for (const auto& row : rows)
    Check(MapperFinds(mapper.p, row.merit, row.in, row.out) == row.found,
          std::string("filter mapper ") + (row.found ? "finds" : "does not find") + " it: " + row.what);
}

// Collects what reaches the Sample Grabber, on the streaming thread.
class Collector : public ISampleGrabberCB {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown && iid != IID_ISampleGrabberCB) return E_NOINTERFACE;
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE SampleCB(double, IMediaSample* sample) override {
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data))) return S_OK;
    std::lock_guard<std::mutex> hold(mutex_);
    bytes_.insert(bytes_.end(), data, data + sample->GetActualDataLength());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }
  std::vector<BYTE> Take() {
    std::lock_guard<std::mutex> hold(mutex_);
    std::vector<BYTE> taken;
    taken.swap(bytes_);
    return taken;
  }

 private:
  std::mutex mutex_;
  std::vector<BYTE> bytes_;
};

IPin* FindPin(IBaseFilter* filter, PIN_DIRECTION wanted) {
  Com<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Out()))) return nullptr;
  for (IPin* pin = nullptr; pins->Next(1, &pin, nullptr) == S_OK; pin->Release()) {
    PIN_DIRECTION direction;
    if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted) return pin;
  }
  return nullptr;
}

HRESULT Connect(IGraphBuilder* graph, IBaseFilter* from, IBaseFilter* to) {
  Com<IPin> out, in;
  out.p = FindPin(from, PINDIR_OUTPUT);
  in.p = FindPin(to, PINDIR_INPUT);
  if (out.p == nullptr || in.p == nullptr) return E_FAIL;
  return graph->ConnectDirect(out.p, in.p, nullptr);
}

// Between Wine's WAVE Parser and the reverb, for float files only. Wine's parser (GStreamer's in
// Wine 8) offers 32-bit float only as WAVE_FORMAT_EXTENSIBLE, which the reverb refuses by design,
// and accepts no other type for it; the system's own parser offers the file's "fmt " as it is
// (tag 3). This filter of the host passes the same bytes on with the plain tag.
class PlainTagFilter : public CTransformFilter {
 public:
  PlainTagFilter() : CTransformFilter("plain tag", nullptr, GUID_NULL) {}
  HRESULT CheckInputType(const CMediaType* in) override {
    return in->majortype == MEDIATYPE_Audio && in->cbFormat >= sizeof(WAVEFORMATEXTENSIBLE) ? S_OK
                                                                                      : E_INVALIDARG;
  }
  HRESULT CheckTransform(const CMediaType*, const CMediaType*) override { return S_OK; }
  HRESULT GetMediaType(int position, CMediaType* type) override {
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    WAVEFORMATEXTENSIBLE format;
    std::memcpy(&format, m_pInput->CurrentMediaType().Format(), sizeof format);
    format.Format.wFormatTag = static_cast<WORD>(format.SubFormat.Data1);
    format.Format.cbSize = 0;
    *type = m_pInput->CurrentMediaType();
    return type->SetFormat(reinterpret_cast<const BYTE*>(&format), sizeof(WAVEFORMATEX)) ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    request->cBuffers = 4;
    request->cbBuffer = 1 << 16;
    ALLOCATOR_PROPERTIES actual;
    return allocator->SetProperties(request, &actual);
  }
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override {
    BYTE *from = nullptr, *to = nullptr;
    const long bytes = in->GetActualDataLength();
    if (FAILED(in->GetPointer(&from)) || FAILED(out->GetPointer(&to)) || bytes > out->GetSize()) return E_FAIL;
    std::memcpy(to, from, static_cast<size_t>(bytes));
    return out->SetActualDataLength(bytes);
  }
};

HRESULT AddFilter(IGraphBuilder* graph, REFCLSID clsid, const wchar_t* name, IBaseFilter** filter) {
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(filter));
  return SUCCEEDED(hr) ? graph->AddFilter(*filter, name) : hr;
}

// File Source (Async) and WAVE Parser for `input`, connected.
HRESULT AddWaveSource(IGraphBuilder* graph, const WString& input, IBaseFilter** source, IBaseFilter** parser) {
  HRESULT hr = AddFilter(graph, kAsyncReader, L"source", source);
  Com<IFileSourceFilter> file;
  if (SUCCEEDED(hr)) hr = (*source)->QueryInterface(IID_IFileSourceFilter, file.Void());
  if (SUCCEEDED(hr)) hr = file->Load(FullPath(input).c_str(), nullptr);
  if (SUCCEEDED(hr)) hr = AddFilter(graph, kWaveParser, L"parser", parser);
  return SUCCEEDED(hr) ? Connect(graph, *source, *parser) : hr;
}

// Runs (or resumes) the graph until it posts EC_COMPLETE. The event queue rather than
// WaitForCompletion: Wine's graph keeps reporting the first run's completion after a seek.
HRESULT RunToCompletion(IMediaControl* control, IMediaEvent* events) {
  // Wine's GetEvent may also answer E_ABORT early with nothing queued: asked again until the
  // minute is over.
  HRESULT hr = control->Run();
  const ULONGLONG deadline = GetTickCount64() + 60000;
  for (long code = 0; SUCCEEDED(hr) && code != EC_COMPLETE;) {
    LONG_PTR first = 0, second = 0;
    hr = events->GetEvent(&code, &first, &second, 100);
    if (SUCCEEDED(hr)) events->FreeEventParams(code, first, second);
    if (code == EC_ERRORABORT || code == EC_USERABORT) hr = static_cast<HRESULT>(first);
    if (hr == E_ABORT && GetTickCount64() < deadline) hr = S_OK;
  }
  return hr;
}

HRESULT OpenStream(const WString& path, bool writing, IStream** stream) {
  const DWORD mode = writing ? STGM_CREATE | STGM_WRITE : STGM_READ;
  return SHCreateStreamOnFileEx(path.c_str(), mode, FILE_ATTRIBUTE_NORMAL, writing, nullptr, stream);
}

bool WriteWave(const WString& path, const AM_MEDIA_TYPE& type, const std::vector<BYTE>& bytes) {
  if (type.cbFormat < 16 || type.pbFormat == nullptr) return false;
  WAVEFORMATEX format = {};
  std::memcpy(&format, type.pbFormat, 16);
  NxFileHandle file = NxOpenFile(path.c_str(), NxFileAccess::Write, NxFileCreate::CreateAlways);
  WaveFileWriter writer;
  const bool ok = file != nullptr && writer.Start(file, format) &&
                  writer.Append(bytes.data(), static_cast<DWORD>(bytes.size())) && writer.Finish();
  NxCloseFile(file);
  return ok;
}

// "~IRX.TMP" in the loaded module's folder (the folder is writable here).
WString PackagedImpulsePath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(GetModuleHandleW(L"auralith_x64.dll"), path, MAX_PATH);
  WString folder(path);
  return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"~IRX.TMP";
}

struct Options {
  WString input, output, preset, impulse, savePreset;
  long quality = 0;
  bool monoToStereo = false;
};

// Settings as a host applies them: a preset through IPersistStream, then single fields.
HRESULT Configure(IBaseFilter* reverb, const Options& options) {
  HRESULT hr = S_OK;
  if (!options.preset.empty()) {
    Com<IPersistStream> persist;
    Com<IStream> stream;
    hr = reverb->QueryInterface(IID_IPersistStream, persist.Void());
    if (SUCCEEDED(hr)) hr = OpenStream(options.preset, false, stream.Out());
    if (SUCCEEDED(hr)) hr = persist->Load(stream.p);
    if (FAILED(hr)) return hr;
  }
  Com<INxPlugInProp> prop;
  hr = reverb->QueryInterface(IID_INxPlugInProp, prop.Void());
  if (FAILED(hr)) return hr;
  if (!options.impulse.empty()) {
    prop->SetImpulseFile(FullPath(options.impulse).c_str());
    prop->SetPackageImpulse(0);
  }
  if (options.quality != 0) prop->SetQuality(options.quality);
  if (options.monoToStereo) prop->SetMonoToStereo(1);
  return S_OK;
}

HRESULT SavePreset(IBaseFilter* reverb, const WString& path) {
  Com<IPersistStream> persist;
  Com<IStream> stream;
  HRESULT hr = reverb->QueryInterface(IID_IPersistStream, persist.Void());
  if (SUCCEEDED(hr)) hr = OpenStream(path, true, stream.Out());
  return SUCCEEDED(hr) ? persist->Save(stream.p, TRUE) : hr;
}

void Process(const Options& options) {
  Collector collector;
  AM_MEDIA_TYPE written = {};
  std::vector<BYTE> first;
  WString packagedImpulse;
  {
    Com<IGraphBuilder> graph;
    Com<IBaseFilter> source, parser, reverb, grabber, sink;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  graph.Void());
    if (SUCCEEDED(hr)) hr = AddWaveSource(graph.p, options.input, source.Out(), parser.Out());
    Check(SUCCEEDED(hr), "File Source and WAVE Parser for " + Narrow(options.input), hr);
    if (FAILED(hr)) return;
    hr = AddFilter(graph.p, kPlugIn, L"Auralith", reverb.Out());
    Check(SUCCEEDED(hr), "reverb created by its CLSID through the registered module", hr);
    if (FAILED(hr)) return;
    hr = Configure(reverb.p, options);
    Check(SUCCEEDED(hr), "settings applied", hr);
    Com<ISampleGrabber> grab;
    if (SUCCEEDED(hr)) hr = AddFilter(graph.p, kSampleGrabber, L"grabber", grabber.Out());
    if (SUCCEEDED(hr)) hr = grabber->QueryInterface(IID_ISampleGrabber, grab.Void());
    AM_MEDIA_TYPE audio = {};
    audio.majortype = MEDIATYPE_Audio;
    if (SUCCEEDED(hr)) hr = grab->SetMediaType(&audio);
    if (SUCCEEDED(hr)) hr = grab->SetCallback(&collector, 0);
    if (SUCCEEDED(hr)) hr = AddFilter(graph.p, kNullRenderer, L"sink", sink.Out());
    Check(SUCCEEDED(hr), "Sample Grabber and Null Renderer", hr);
    Com<IBaseFilter> plain;
    if (SUCCEEDED(hr)) hr = Connect(graph.p, parser.p, reverb.p);
    if (hr == VFW_E_NO_ACCEPTABLE_TYPES) {
      plain.p = new PlainTagFilter();
      plain->AddRef();
      hr = graph->AddFilter(plain.p, L"plain tag");
      if (SUCCEEDED(hr)) hr = Connect(graph.p, parser.p, plain.p);
      if (SUCCEEDED(hr)) hr = Connect(graph.p, plain.p, reverb.p);
      Check(SUCCEEDED(hr), "parser -> plain-tag filter of the host (Wine's parser: float as extensible) -> reverb", hr);
    } else {
      Check(SUCCEEDED(hr), "explicit connection parser -> reverb", hr);
    }
    if (SUCCEEDED(hr)) hr = Connect(graph.p, reverb.p, grabber.p);
    if (SUCCEEDED(hr)) hr = Connect(graph.p, grabber.p, sink.p);
    Check(SUCCEEDED(hr), "explicit connection reverb -> Sample Grabber -> Null Renderer", hr);
    if (FAILED(hr)) return;

    Com<IMediaFilter> clockless;
    Com<IMediaControl> control;
    Com<IMediaEvent> events;
    Com<IMediaSeeking> seeking;
    graph->QueryInterface(IID_IMediaFilter, clockless.Void());
    graph->QueryInterface(IID_IMediaControl, control.Void());
    graph->QueryInterface(IID_IMediaEvent, events.Void());
    graph->QueryInterface(IID_IMediaSeeking, seeking.Void());
    hr = clockless->SetSyncSource(nullptr);
    if (SUCCEEDED(hr)) hr = RunToCompletion(control.p, events.p);
    Check(SUCCEEDED(hr), "run to EC_COMPLETE", hr);
    first = collector.Take();
    grab->GetConnectedMediaType(&written);
    {
      // A running reverb still accepts the type its input is connected with.
      Com<IPin> in;
      AM_MEDIA_TYPE current = {};
      in.p = FindPin(reverb.p, PINDIR_INPUT);
      const HRESULT accepted = SUCCEEDED(in->ConnectionMediaType(&current)) ? in->QueryAccept(&current) : E_FAIL;
      CoTaskMemFree(current.pbFormat);
      Check(accepted == S_OK, "QueryAccept of the connected type while running", accepted);
    }
    // Again from the start: a seek while running (flush and new segment through the pins), then
    // stop, seek and run.
    const char* again[] = {"seek to 0 while running", "stop, seek to 0, run"};
    for (int run = 0; run < 2 && SUCCEEDED(hr); ++run) {
      if (run == 1) control->Stop();
      LONGLONG start = 0;
      hr = seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
      if (SUCCEEDED(hr)) hr = RunToCompletion(control.p, events.p);
      const size_t bytes = collector.Take() == first ? first.size() : 0;
      Check(SUCCEEDED(hr) && bytes == first.size(),
            std::string(again[run]) + ": the same " + std::to_string(first.size()) + " bytes again", hr);
    }
    control->Stop();
    if (!options.savePreset.empty()) {
      hr = SavePreset(reverb.p, options.savePreset);
      Check(SUCCEEDED(hr), "preset saved through IPersistStream", hr);
    }
    Check(WriteWave(options.output, written, first), "output written to " + Narrow(options.output));
    if (!options.preset.empty()) {
      // A packaged preset's impulse lives beside the module while the filter is alive.
      LONG packaged = 0;
      Com<INxPlugInProp> prop;
      if (SUCCEEDED(reverb->QueryInterface(IID_INxPlugInProp, prop.Void()))) prop->GetPackageImpulse(&packaged);
      packagedImpulse = PackagedImpulsePath();
      if (packaged != 0)
        Check(GetFileAttributesW(packagedImpulse.c_str()) != INVALID_FILE_ATTRIBUTES,
              "~IRX.TMP exists while the filter is alive");
    }
  }
  if (written.pbFormat != nullptr) CoTaskMemFree(written.pbFormat);
  if (!packagedImpulse.empty())
    Check(GetFileAttributesW(packagedImpulse.c_str()) == INVALID_FILE_ATTRIBUTES,
          "~IRX.TMP removed with the last filter");
  HMODULE module = GetModuleHandleW(L"auralith_x64.dll");
  typedef HRESULT(STDAPICALLTYPE * CanUnload)();
  const CanUnload canUnload =
      module != nullptr ? reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow"))) : nullptr;
  const HRESULT unload = canUnload != nullptr ? canUnload() : E_FAIL;
  Check(unload == S_OK, "DllCanUnloadNow S_OK after the graph is released", unload);
  // CoFreeUnusedLibraries alone only starts the system's unload delay for a module whose
  // classes are "Both" (ten minutes); no delay asked here.
  CoFreeUnusedLibraries();
  CoFreeUnusedLibrariesEx(0, 0);
  Check(GetModuleHandleW(L"auralith_x64.dll") == nullptr, "CoFreeUnusedLibraries unloads the module");
}

void AutoConnect(const WString& input) {
  Com<IGraphBuilder> graph;
  Com<IBaseFilter> source, parser;
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                graph.Void());
  if (SUCCEEDED(hr)) hr = AddWaveSource(graph.p, input, source.Out(), parser.Out());
  Check(SUCCEEDED(hr), "File Source and WAVE Parser", hr);
  if (FAILED(hr)) return;
  Com<IPin> out;
  out.p = FindPin(parser.p, PINDIR_OUTPUT);
  hr = graph->Render(out.p);
  std::printf("graph building from the parser's output: 0x%08lX\n", static_cast<unsigned long>(hr));
  Com<IEnumFilters> filters;
  bool inserted = false;
  graph->EnumFilters(filters.Out());
  for (IBaseFilter* filter = nullptr; filters->Next(1, &filter, nullptr) == S_OK; filter->Release()) {
    CLSID clsid = GUID_NULL;
    filter->GetClassID(&clsid);
    inserted = inserted || clsid == kPlugIn;
  }
  Check(!inserted, "graph building does not insert the reverb");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const WString mode = argc > 1 ? argv[1] : L"";
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (mode == L"registry" && argc == 4) {
    CheckRegistry(WString(argv[2]) == L"present", argv[3]);
  } else if (mode == L"autoconnect" && argc == 3) {
    AutoConnect(argv[2]);
  } else if (mode == L"process" && argc >= 4) {
    Options options;
    options.input = argv[2];
    options.output = argv[3];
    for (int i = 4; i < argc; ++i) {
      const WString name = argv[i];
      const WString value = i + 1 < argc ? argv[i + 1] : L"";
      if (name == L"--mono-to-stereo") {
        options.monoToStereo = true;
        continue;
      }
      ++i;
      if (name == L"--preset") options.preset = value;
      else if (name == L"--impulse") options.impulse = value;
      else if (name == L"--save-preset") options.savePreset = value;
      else if (name == L"--quality") options.quality = std::wcstol(value.c_str(), nullptr, 10);
      else Check(false, "unknown option " + Narrow(name));
    }
    if (g_failures == 0) Process(options);
  } else {
    std::fprintf(stderr, "usage: graph_host registry present|absent DLL | process IN OUT [options] | autoconnect IN\n");
    return 2;
  }
  CoUninitialize();
  return g_failures == 0 ? 0 : 1;
}
