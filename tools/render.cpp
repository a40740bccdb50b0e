#include "tools/render.h"

#include <cstdio>
#include <filesystem>

#include "frame/module_info.h"
#include "host/wave_sink_filter.h"
#include "host/wave_source_filter.h"
#include "impulse/impulse_loader.h"
#include "platform/dshow/filter_graph.h"
#include "platform/file.h"
#include "tools/cli.h"

namespace {

constexpr DWORD kPollMs = 100;
constexpr DWORD kMinBufferBytes = 512;

// Holds one reference on a COM object until the end of the scope.
template <typename T>
class Ref {
 public:
  explicit Ref(T* object) : object_(object) {
    if (object_ != nullptr) object_->AddRef();
  }
  ~Ref() {
    if (object_ != nullptr) object_->Release();
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* operator->() const { return object_; }
  T* Get() const { return object_; }

 private:
  T* object_;
};

std::string ReaderFailure(int code) {
  return code == kImpulseNoMemory ? "not enough memory to read it"
         : code == kImpulseReadFailed ? "read failed"
                                      : "cannot be opened as a wave file";
}

// Refuses an input the graph cannot play, before anything is written.
void CheckInput(const std::string& path) {
  WaveInput input;
  const int code = input.Open(path);
  if (!std::filesystem::exists(std::filesystem::u8path(path)))
    FileError(path, "no such file");
  if (code != 0) {
    if (input.Reader().channels != 0 && input.Reader().bytesPerSample == 0)
      FileError(path, "a compressed format that cannot be decoded");
    FileError(path, ReaderFailure(code));
  }
  const DWORD channels = input.Reader().channels;
  if (channels > 2) {
    FileError(path, std::to_string(channels) +
                        " channels; Auralith processes mono and stereo audio only (mix it down "
                        "or split it first)");
  }
  if (input.Reader().frames == 0) FileError(path, "holds no audio");
}

std::string ConnectFailure(HRESULT hr) {
  if (hr == VFW_E_NO_ACCEPTABLE_TYPES || hr == VFW_E_TYPE_NOT_ACCEPTED)
    return "the filter refuses this audio format";
  return "cannot connect the filters (" + HresultText(hr) + ")";
}

struct Graph {
  CFilterGraph* graph = nullptr;
  ~Graph() {
    if (graph != nullptr) {
      graph->Stop();
      graph->Release();
    }
  }
};

}  // namespace

PlugInHandle::PlugInHandle() {
  HRESULT hr = S_OK;
  plugin_ = static_cast<CNxPlugIn*>(CNxPlugIn::CreateInstance(nullptr, &hr));
  if (plugin_ == nullptr || FAILED(hr)) Failure("cannot create the reverb filter: out of memory");
  plugin_->AddRef();
}

PlugInHandle::~PlugInHandle() { plugin_->Release(); }

std::string EffectiveImpulsePath(CNxPlugIn* plugin) {
  LONG packaged = 0;
  plugin->GetPackageImpulse(&packaged);
  if (packaged != 0) {
    WCHAR path[kMaxPathUnits];
    return NxGetPackagedImpulsePath(path) ? Narrow(path) : std::string();
  }
  WCHAR name[kMaxPathUnits];
  plugin->GetImpulseFile(name, kMaxPathUnits);
  return Narrow(name);
}

RenderResult Render(CNxPlugIn* plugin, const RenderJob& job) {
  CheckInput(job.input);
  const std::filesystem::path folder = std::filesystem::u8path(job.output).parent_path();
  if (!folder.empty() && !std::filesystem::is_directory(folder))
    FileError(job.output, "the folder " + folder.u8string() + " does not exist");
  if (std::filesystem::is_directory(std::filesystem::u8path(job.output)))
    FileError(job.output, "is a folder");

  RenderResult result = {};
  Graph holder;
  CFilterGraph::Create(&holder.graph);
  if (holder.graph == nullptr) Failure("cannot create the filter graph: out of memory");
  CFilterGraph* graph = holder.graph;
  Ref<CWaveSourceFilter> source(new CWaveSourceFilter());
  Ref<CWaveSinkFilter> sink(new CWaveSinkFilter());
  graph->AddFilter(source.Get(), NXW("source"));
  graph->AddFilter(plugin, NXW("Auralith"));
  graph->AddFilter(sink.Get(), NXW("sink"));

  WaveSourceOptions options;
  options.framesPerSample = job.blockFrames;
  options.convertToFloat = true;  // only formats the filter refuses are converted
  HRESULT hr = source->Open(Wide(job.input).c_str(), options);
  if (FAILED(hr)) FileError(job.input, "cannot be delivered as audio (" + HresultText(hr) + ")");
  // The filter takes buffers of at least kMinBufferBytes; fewer frames per buffer are raised to
  // that, which changes nothing in the output.
  WAVEFORMATEX delivered = {};
  if (ReadAudioFormat(source->OfferedType(), &delivered) && delivered.nBlockAlign != 0 &&
      options.framesPerSample * delivered.nBlockAlign < kMinBufferBytes) {
    options.framesPerSample = (kMinBufferBytes + delivered.nBlockAlign - 1) / delivered.nBlockAlign;
    hr = source->Open(Wide(job.input).c_str(), options);
    if (FAILED(hr)) FileError(job.input, "cannot be delivered as audio (" + HresultText(hr) + ")");
  }
  result.sourceConverted = source->Converting();
  result.inputFrames = source->Frames();
  // The sink writes the requested format as the samples arrive and replaces the output only
  // when the run is complete.
  HRESULT set = sink->SetFileName(Wide(job.output).c_str());
  if (SUCCEEDED(set) && job.convertFormat) {
    set = job.format == SampleFormat::Pcm16     ? sink->SetWriteFormat(WAVE_FORMAT_PCM, 16)
          : job.format == SampleFormat::Float32 ? sink->SetWriteFormat(WAVE_FORMAT_IEEE_FLOAT, 32)
                                                : sink->SetWriteFormat(WAVE_FORMAT_IEEE_FLOAT, 64);
  }
  if (FAILED(set)) Failure("cannot set up the output");

  hr = graph->ConnectDirect(source->GetPin(0), plugin->GetPin(0), nullptr);
  if (FAILED(hr)) FileError(job.input, ConnectFailure(hr));
  hr = graph->ConnectDirect(plugin->GetPin(1), sink->GetPin(0), nullptr);
  if (FAILED(hr)) FileError(job.output, ConnectFailure(hr));
  plugin->GetStreamFormat(&result.sourceFormat, kInputFormat);
  plugin->GetStreamFormat(&result.outputFormat, kOutputFormat);

  hr = graph->Run();
  if (FAILED(hr) && FAILED(sink->WriteResult()))
    FileError(job.output, NxFileErrorText(sink->WriteError()));
  if (FAILED(hr)) FileError(job.output, "cannot start rendering (" + HresultText(hr) + ")");
  const double frameBytes = result.outputFormat.nBlockAlign != 0 ? result.outputFormat.nBlockAlign : 1;
  for (;;) {
    hr = graph->WaitForCompletion(kPollMs, nullptr);
    if (hr != E_ABORT) break;
    if (job.progress != nullptr && result.inputFrames != 0)
      job.progress->Update(sink->DataBytes() / frameBytes / static_cast<double>(result.inputFrames));
  }
  LONG status = kStatusNone;
  plugin->GetStatus(&status);
  result.impulseMissing = status == kStatusNoImpulse;
  const bool refused = result.impulseMissing && !job.allowMissingImpulse;
  if (FAILED(hr) || refused) sink->DiscardOutput();
  graph->Stop();
  const HRESULT written = sink->WriteResult();
  result.outputFrames = static_cast<unsigned long long>(sink->DataBytes() / frameBytes);
  if (FAILED(written)) FileError(job.output, NxFileErrorText(sink->WriteError()));
  if (FAILED(hr)) FileError(job.input, "rendering failed (" + HresultText(hr) + ")");
  if (refused) {
    FileError(EffectiveImpulsePath(plugin),
              "impulse not found; nothing written (--allow-missing-impulse renders dry)");
  }
  if (job.progress != nullptr) job.progress->Finish();

  // The filter saturates 16-bit output itself; a conversion to 16 bits may clamp more.
  result.clipped = sink->Clipped();
  return result;
}
