#include "recovery/recover_impulse.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "dsp/fft.h"
#include "dsp/resampler.h"
#include "impulse/impulse_loader.h"
#include "platform/file.h"
#include "platform/file_replacement.h"
#include "platform/muldiv.h"
#include "recovery/impulse_wave_writer.h"
#include "recovery/recovery_settings.h"
#include "recovery/wave_channel.h"

namespace {

constexpr LONGLONG kMaxSignalFrames = 1 << 23;
// Spectrum values at or below this are not inverted (their inverse is set to the floor itself).
constexpr double kSpectrumFloor = 1e-20;
// Clock ratios closer to 1 than this are not resampled.
constexpr double kRatioTolerance = 1e-5;
constexpr double kPeakTarget = 32766.0;
// Recovered impulses are labelled with this rate whatever the recording's.
constexpr DWORD kOutputRate = 44100;

struct FftRelease {
  void operator()(FFTSETUP* setup) const { NxSig_UnprepareFFT(setup); }
};

LPCWSTR ProgressText() { return RecoveryString(IDS_RECOVERY_PROGRESS, NXW("Recovering Impulse")); }

// The progress window of one run. A cancel, once seen, stays: the resampler's own result is not
// trusted to carry it, and every later report stops the run.
class RunProgress final : public ResampleProgress {
 public:
  explicit RunProgress(RecoveryProgressSink& sink) : sink_(sink) {}
  ~RunProgress() { Close(); }
  RunProgress(const RunProgress&) = delete;
  RunProgress& operator=(const RunProgress&) = delete;

  void Open(int range) {
    range_ = range;
    sink_.Begin(ProgressText(), range);
    open_ = true;
  }
  void Close() {
    if (open_) sink_.End();
    open_ = false;
  }
  bool cancelled() const { return cancelled_; }
  // Moves the bar on by `steps`; false once the user has cancelled.
  bool Advance(int steps) {
    position_ = std::min(position_ + steps, range_);
    return Report(position_);
  }
  void BeginResampling() {
    sink_.SetRange(0, 100);
    sink_.SetText(RecoveryString(IDS_RECOVERY_RESAMPLING, NXW("Resampling")));
  }
  void EndResampling() {
    sink_.SetRange(0, range_);
    sink_.SetText(ProgressText());
  }
  int Update(int percentDone) override { return Report(percentDone) ? 1 : 0; }
  static int OnTransform(void* user, FFTSETUP*, uint32_t, uint32_t) {
    RunProgress* self = static_cast<RunProgress*>(user);
    return self->Report(self->position_) ? 1 : 0;
  }

 private:
  bool Report(int position) {
    if (!cancelled_ && !sink_.Step(position)) cancelled_ = true;
    return !cancelled_;
  }

  RecoveryProgressSink& sink_;
  bool open_ = false;
  bool cancelled_ = false;
  int range_ = 0;
  int position_ = 0;
};

struct Run {
  Run(const RecoveryRequest& r, RecoveryProgressSink& sink) : request(r), progress(sink) {}

  RecoveryRequest request;
  RecoverySettings settings{};
  RunProgress progress;
  ImpulseInfo recorded{};
  DWORD recordedFrames = 0;  // R0
  DWORD n = 0;
  int log2n = 0;
  LONGLONG spacing = 0;  // S
  DWORD channels = 0;    // channels computed: 1 or 2
  std::unique_ptr<FFTSETUP, FftRelease> fft;
  std::unique_ptr<double[]> inverse;  // packed inverse test spectrum, N values
  std::unique_ptr<double[]> work;     // N values: one channel's spectrum, then its impulse
  std::unique_ptr<float[]> channel;   // max(N, M) samples, then the stored impulse
  size_t channelSize = 0;
  double ratio = 1.0;
  DWORD start = 0;         // first recorded frame of the test signal
  DWORD m = 0;             // recorded frames that span the test signal
  DWORD storedFrames = 0;  // L
  DWORD trimStart = 0;     // s
};

bool IsEmpty(LPCWSTR text) { return text == nullptr || text[0] == 0; }

ULONGLONG FramesOf(const ImpulseInfo& info) {
  return ULONGLONG{info.dataBytes} / info.bytesPerSample / info.channels;
}

// Steps that decide whether the two files belong together, before any window opens.
int CheckFiles(Run& run) {
  const RecoveryRequest& request = run.request;
  if (IsEmpty(request.testFile) || IsEmpty(request.recordedFile) || IsEmpty(request.outputFile)) {
    return kRecoveryNamesMissing;
  }
  if (!NxFileExists(request.recordedFile)) return kRecoveryRecordingNotFound;
  if (!NxFileExists(request.testFile)) return kRecoveryTestNotFound;
  ImpulseInfo test;
  if (!GetImpulseInfo(request.testFile, &test, nullptr)) return kRecoveryTestReadFailed;
  if (!GetImpulseInfo(request.recordedFile, &run.recorded, nullptr)) {
    return kRecoveryRecordingReadFailed;
  }
  run.settings = ReadRecoverySettings();
  run.spacing = run.settings.spikeSpacing;
  const LONGLONG n = static_cast<LONGLONG>(FramesOf(test)) - 2 * run.spacing;
  run.recordedFrames = static_cast<DWORD>(FramesOf(run.recorded));
  if (LONGLONG{run.recordedFrames} < n / 2) return kRecoveryRecordingTooSmall;
  if (run.spacing < 0 || n < 2 || n > kMaxSignalFrames || (n & (n - 1)) != 0) {
    return kRecoveryNotATestFile;
  }
  run.n = static_cast<DWORD>(n);
  while ((DWORD{1} << run.log2n) < run.n) ++run.log2n;
  run.channels = run.recorded.channels >= 2 ? 2 : 1;
  return 0;
}

// Each bin becomes its reciprocal; values at or below the floor become the floor.
void InvertSpectrum(double* spectrum, DWORD n) {
  for (int i = 0; i < 2; ++i) {
    spectrum[i] = std::fabs(spectrum[i]) > kSpectrumFloor ? 1.0 / spectrum[i] : kSpectrumFloor;
  }
  for (DWORD i = 2; i < n; i += 2) {
    const double re = spectrum[i];
    const double im = spectrum[i + 1];
    const double power = re * re + im * im;
    if (power > kSpectrumFloor) {
      spectrum[i] = re / power;
      spectrum[i + 1] = -im / power;
    } else {
      spectrum[i] = kSpectrumFloor;
      spectrum[i + 1] = kSpectrumFloor;
    }
  }
}

// Clears DC and every bin below the low-cut frequency; Nyquist stays.
void RemoveLowFrequencies(double* spectrum, DWORD n, INT cutFrequency, DWORD sampleRate) {
  const int halfRate = static_cast<int>(sampleRate / 2);
  const int cut =
      halfRate > 0 && n <= 0x7FFFFFFFu ? MulDiv(cutFrequency, static_cast<int>(n), halfRate) : 0;
  spectrum[0] = 0.0;
  for (LONGLONG i = 2; i < cut && i < LONGLONG{n}; i += 2) {
    spectrum[i] = 0.0;
    spectrum[i + 1] = 0.0;
  }
}

// The inverse spectrum of the test signal, and the transform setup.
int PrepareInverse(Run& run) {
  run.inverse.reset(new (std::nothrow) double[run.n]());
  std::unique_ptr<float[]> samples(new (std::nothrow) float[run.n]());
  if (!run.inverse || !samples) return kRecoveryNoMemory;
  const int read = ReadWaveChannel(run.request.testFile, samples.get(), nullptr, run.n,
                                   static_cast<DWORD>(run.spacing), 0);
  if (read == kImpulseNoMemory) return kRecoveryNoMemory;
  if (read != static_cast<int>(run.n)) return kRecoveryTestReadFailed;
  std::copy(samples.get(), samples.get() + run.n, run.inverse.get());
  samples.reset();
  run.fft.reset(NxSig_PrepareFFT(&run.progress, run.n, &RunProgress::OnTransform, 0));
  if (!run.fft) return kRecoveryNoMemory;
  if (NxSig_FFT(run.fft.get(), run.inverse.get(), run.n, 1.0) == 0 ||
      !run.progress.Advance(run.log2n + 1)) {
    return kRecoveryCancelled;
  }
  InvertSpectrum(run.inverse.get(), run.n);
  if (run.request.removeLowFreq) {
    RemoveLowFrequencies(run.inverse.get(), run.n, run.settings.lowCutFreq,
                         run.recorded.sampleRate);
  }
  return 0;
}

// Where the test signal begins in the recording and how many recorded frames span it.
int FindTimeBase(Run& run, RecoveryMessageSink& messages) {
  // Without spikes the recording is taken to begin with the test signal.
  double start = 0.0;
  if (run.request.mode == kSpikeModeAutoDetect || run.request.mode == kSpikeModeFileEnds) {
    LONG first = 0;
    LONG distance = 0;
    const int found = FindTimingSpikes(messages, run.request.recordedFile, run.n, &first, &distance,
                                       run.request.mode);
    if (found != 0) return found;
    const double nominal = 2.0 * static_cast<double>(run.spacing) + run.n -
                           static_cast<double>(run.settings.spikeLength);
    // A spike length that leaves no distance cannot belong to this test file.
    if (!(nominal > 0.0) || distance <= 0 || first < 0) return kRecoveryNotATestFile;
    run.ratio = distance / nominal;
    start = std::trunc(static_cast<double>(run.spacing) * run.ratio + first);
  }
  const double m = std::trunc(run.n * run.ratio + 0.5);
  if (start > 4294967295.0 || m < 1.0 || m > 4.0 * kMaxSignalFrames) {
    return kRecoveryRecordingReadFailed;
  }
  run.start = static_cast<DWORD>(start);
  run.m = static_cast<DWORD>(m);
  run.channelSize = std::max<size_t>(run.n, run.m);
  run.channel.reset(new (std::nothrow) float[run.channelSize]());
  run.work.reset(new (std::nothrow) double[run.n]);
  return run.channel && run.work ? 0 : kRecoveryNoMemory;
}

int MultiplyByInverse(FFTSETUP*, double* spectrum, uint32_t n, void* context) {
  const double* inverse = static_cast<const double*>(context);
  spectrum[0] *= inverse[0];
  spectrum[1] *= inverse[1];
  for (uint32_t i = 2; i < n; i += 2) {
    const double re = spectrum[i] * inverse[i] - spectrum[i + 1] * inverse[i + 1];
    const double im = spectrum[i] * inverse[i + 1] + spectrum[i + 1] * inverse[i];
    spectrum[i] = re;
    spectrum[i + 1] = im;
  }
  return 1;
}

// Reads recorded channel `index`, undoes the clock error and deconvolves it into `work`.
int DeconvolveChannel(Run& run, DWORD index) {
  const DWORD r = std::min(run.m, run.recordedFrames);
  std::fill(run.channel.get() + r, run.channel.get() + run.channelSize, 0.0f);
  const int read =
      ReadWaveChannel(run.request.recordedFile, run.channel.get(), nullptr, r, run.start, index);
  if (read == kImpulseNoMemory) return kRecoveryNoMemory;
  if (read != static_cast<int>(r)) return kRecoveryRecordingReadFailed;
  if (!run.progress.Advance(1)) return kRecoveryCancelled;
  if (std::fabs(run.ratio - 1.0) > kRatioTolerance) {
    run.progress.BeginResampling();
    const int resampled = ResampleImpulse(&run.progress, run.channel.get(), nullptr, run.m, run.n);
    run.progress.EndResampling();
    if (run.progress.cancelled()) return kRecoveryCancelled;
    if (resampled != kResampleDone) return kRecoveryNoMemory;
  }
  std::copy(run.channel.get(), run.channel.get() + run.n, run.work.get());
  if (NxSig_FFTProcess(run.fft.get(), run.work.get(), run.n, 1.0, 1.0, &MultiplyByInverse,
                       run.inverse.get()) == 0 ||
      !run.progress.Advance(2 * run.log2n + 2)) {
    return kRecoveryCancelled;
  }
  return 0;
}

// The largest magnitude of the deconvolved channel and its first frame.
double PeakOf(const double* samples, DWORD n, DWORD* index) {
  double peak = 0.0;
  *index = 0;
  for (DWORD i = 0; i < n; ++i) {
    const double magnitude = std::fabs(samples[i]);
    if (magnitude > peak) {
      peak = magnitude;
      *index = i;
    }
  }
  return peak;
}

double ScaleFor(double peak) { return peak > 0.0 ? kPeakTarget / peak : 1.0; }

// The stored window of the circular result, scaled, into the channel buffer.
void Trim(Run& run, double scale) {
  for (DWORD j = 0; j < run.storedFrames; ++j) {
    const DWORD from = static_cast<DWORD>((ULONGLONG{run.trimStart} + j) % run.n);
    run.channel[j] = static_cast<float>(run.work[from] * scale);
  }
}

void PlaceWindow(Run& run, DWORD peakIndex) {
  const LONGLONG alignment =
      run.request.mode == kSpikeModeAutoDetect || run.request.mode == kSpikeModeFileEnds
          ? 0
          : peakIndex;
  const LONGLONG n = run.n;
  const LONGLONG maxStored = run.settings.maxStoredImpulse;
  run.storedFrames = static_cast<DWORD>(maxStored < 2 ? 2 : std::min(maxStored, n));
  run.trimStart = static_cast<DWORD>(((alignment - run.settings.impulsePreSamples) % n + n) % n);
}

// The second channel, merged into the file that the first one made.
int AddSecondChannel(Run& run, LPCWSTR file, double scale0, bool isFloat) {
  int result = DeconvolveChannel(run, 1);
  if (result != 0) return result;
  DWORD peakIndex;
  const double scale1 = ScaleFor(PeakOf(run.work.get(), run.n, &peakIndex));
  Trim(run, 1.0);
  const double factor0 = scale0 > scale1 ? scale1 / scale0 : 1.0;
  const double shared = std::min(scale0, scale1);
  result =
      isFloat ? MergeSecondChannelFloat(file, run.channel.get(), run.storedFrames,
                                        static_cast<float>(factor0), static_cast<float>(shared))
              : MergeSecondChannel16(file, run.channel.get(), run.storedFrames,
                                     static_cast<float>(factor0), static_cast<float>(shared));
  if (result != 0) return kRecoveryWriteFailed;
  return run.progress.Advance(1) ? 0 : kRecoveryCancelled;
}

int Recover(Run& run, RecoveryMessageSink& messages) {
  int result = CheckFiles(run);
  if (result != 0) return result;
  run.progress.Open((run.log2n + 1) + static_cast<int>(run.channels) * (2 * run.log2n + 4));
  if ((result = PrepareInverse(run)) != 0) return result;
  if ((result = FindTimeBase(run, messages)) != 0) return result;
  if ((result = DeconvolveChannel(run, 0)) != 0) return result;
  DWORD peakIndex;
  const double scale0 = ScaleFor(PeakOf(run.work.get(), run.n, &peakIndex));
  PlaceWindow(run, peakIndex);
  Trim(run, scale0);
  const INT outBits = run.settings.outBits;
  const bool isFloat = !(outBits != 32 && (run.recorded.bytesPerSample <= 2 || outBits == 16));
  const float* samples = run.channel.get();
  // The second channel is merged into the first channel's file while that is still the
  // temporary beside the output, which replaces the output only when both are in.
  const std::basic_string<WCHAR> temporary = NxReplacementName(run.request.outputFile);
  result = isFloat ? WriteImpulseWaveFloat(temporary.c_str(), samples, samples, run.storedFrames,
                                           kOutputRate, run.channels)
                   : WriteImpulseWave16(temporary.c_str(), samples, samples, run.storedFrames,
                                        kOutputRate, run.channels);
  if (result != 0) return kRecoveryWriteFailed;
  result = run.progress.Advance(1) ? 0 : kRecoveryCancelled;
  if (result == 0 && run.channels == 2) {
    result = AddSecondChannel(run, temporary.c_str(), scale0, isFloat);
  }
  if (result == 0 && !NxMoveFileReplacing(temporary.c_str(), run.request.outputFile)) {
    result = kRecoveryWriteFailed;
  }
  if (result != 0) NxDeleteFile(temporary.c_str());
  return result;
}

}  // namespace

int RecoverImpulse(const RecoveryRequest& request, RecoveryProgressSink& progress,
                   RecoveryMessageSink& messages) {
  Run run(request, progress);
  const int result = Recover(run, messages);
  run.progress.Close();
  // Memory goes before the last message, which the user may leave open.
  run.fft.reset();
  run.inverse.reset();
  run.work.reset();
  run.channel.reset();
  ShowRecoveryMessage(messages, result);
  return result;
}
