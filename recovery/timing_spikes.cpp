#include "recovery/timing_spikes.h"

#include <cmath>
#include <memory>
#include <new>

#include "impulse/impulse_loader.h"
#include "recovery/recovery_message.h"
#include "recovery/recovery_settings.h"
#include "recovery/wave_channel.h"

namespace {

struct SpikeLevel {
  float mean;
  float peak;
  DWORD index;  // first frame that reaches the peak
  bool IsLow() const { return kSpikeLevelFactor * mean > peak; }
};

// Single precision, as the levels are compared against a factor of the mean only.
SpikeLevel MeasureSpike(const float* samples, DWORD frames) {
  SpikeLevel level{0.0f, 0.0f, 0};
  float sum = 0.0f;
  for (DWORD i = 0; i < frames; ++i) {
    const float magnitude = std::fabs(samples[i]);
    sum += magnitude;
    if (magnitude > level.peak) {
      level.peak = magnitude;
      level.index = i;
    }
  }
  level.mean = frames != 0 ? sum / static_cast<float>(frames) : 0.0f;
  return level;
}

struct StereoWindow {
  std::unique_ptr<float[]> left;
  std::unique_ptr<float[]> right;  // null for a mono recording, which stands for both
  SpikeLevel leftLevel{};
  SpikeLevel rightLevel{};
};

// Reads and measures `frames` frames from `first` on. 0 or a result code.
int ReadWindow(LPCWSTR name, DWORD channels, DWORD first, DWORD frames, StereoWindow* window) {
  window->left.reset(new (std::nothrow) float[frames]);
  if (channels >= 2) window->right.reset(new (std::nothrow) float[frames]);
  if (!window->left || (channels >= 2 && !window->right)) return kRecoveryNoMemory;
  const int read = ReadWaveChannel(name, window->left.get(), window->right.get(), frames, first, 0);
  if (read == kImpulseNoMemory) return kRecoveryNoMemory;
  if (read <= 0) return kRecoveryRecordingReadFailed;
  window->leftLevel = MeasureSpike(window->left.get(), frames);
  window->rightLevel =
      window->right ? MeasureSpike(window->right.get(), frames) : window->leftLevel;
  window->left.reset();
  window->right.reset();
  return 0;
}

bool Misaligned(const StereoWindow& window) {
  const LONGLONG gap = LONGLONG{window.rightLevel.index} - window.leftLevel.index;
  return gap > kSpikeMisalignment || gap < -kSpikeMisalignment;
}

// Yes: true; No: false; Cancel (or any other answer): *cancelled.
bool Ask(RecoveryMessageSink& messages, int question, bool* cancelled) {
  const int answer = ShowRecoveryMessage(messages, question);
  *cancelled = answer != kRecoveryAnswerYes && answer != kRecoveryAnswerNo;
  return answer == kRecoveryAnswerYes;
}

int FindAutomatically(RecoveryMessageSink& messages, LPCWSTR name, const ImpulseInfo& info,
                      ULONGLONG frames, DWORD n, LONGLONG spacing, LONG* start, LONG* distance) {
  const LONGLONG nominal = LONGLONG{n} + 2 * spacing;
  const double windowStart = 0.95 * n + 2.0 * static_cast<double>(spacing);
  const double windowEnd = 1.05 * n + 2.0 * static_cast<double>(spacing);
  // The first spike lies within the first second, and before the earliest end spike.
  ULONGLONG firstRange = info.sampleRate;
  if (firstRange > frames) firstRange = frames;
  if (firstRange > static_cast<ULONGLONG>(windowStart)) {
    firstRange = static_cast<ULONGLONG>(windowStart);
  }
  if (firstRange == 0) return kRecoveryRecordingReadFailed;

  StereoWindow window;
  int result = ReadWindow(name, info.channels, 0, static_cast<DWORD>(firstRange), &window);
  if (result != 0) return result;
  bool cancelled = false;
  DWORD leftIndex = window.leftLevel.index;
  if (window.leftLevel.IsLow() && window.rightLevel.IsLow() &&
      !Ask(messages, kRecoveryFirstSpikeLow, &cancelled)) {
    if (cancelled) return kRecoverySpikeQuestionCancel;
    leftIndex = 0;
  } else if (Misaligned(window) && !Ask(messages, kRecoverySpikesMisaligned, &cancelled)) {
    if (cancelled) return kRecoverySpikeQuestionCancel;
    leftIndex = 0;
  }
  const LONGLONG first = leftIndex;

  const LONGLONG a = static_cast<LONGLONG>(windowStart) + first;
  const LONGLONG b = static_cast<LONGLONG>(windowEnd) + first;
  if (a >= static_cast<LONGLONG>(frames)) return kRecoveryEndSpikeNotFound;
  const LONGLONG end = b < static_cast<LONGLONG>(frames) ? b : static_cast<LONGLONG>(frames);
  if (end <= a || a > 0xFFFFFFFFll) return kRecoveryRecordingReadFailed;
  result =
      ReadWindow(name, info.channels, static_cast<DWORD>(a), static_cast<DWORD>(end - a), &window);
  if (result != 0) return result;
  *start = static_cast<LONG>(first);
  if (window.leftLevel.IsLow() && window.rightLevel.IsLow() &&
      !Ask(messages, kRecoverySecondSpikeLow, &cancelled)) {
    if (cancelled) return kRecoverySpikeQuestionCancel;
    *distance = static_cast<LONG>(nominal);
    return 0;
  }
  if (Misaligned(window) && !Ask(messages, kRecoverySpikesMisaligned, &cancelled)) {
    if (cancelled) return kRecoverySpikeQuestionCancel;
    *distance = static_cast<LONG>(nominal);
    return 0;
  }
  *distance = static_cast<LONG>(a - first + 1 + window.leftLevel.index);
  return 0;
}

}  // namespace

int FindTimingSpikes(RecoveryMessageSink& messages, LPCWSTR recordedFile, DWORD n, LONG* start,
                     LONG* distance, LONG mode) {
  if (start == nullptr || distance == nullptr) return kRecoveryRecordingReadFailed;
  const LONGLONG spacing = ReadSpikeSpacing();
  ImpulseInfo info;
  if (!GetImpulseInfo(recordedFile, &info, nullptr)) return kRecoveryRecordingReadFailed;
  const ULONGLONG frames = ULONGLONG{info.dataBytes} / info.bytesPerSample / info.channels;
  const LONGLONG nominal = LONGLONG{n} + 2 * spacing;
  // Both outputs are 32-bit; a spacing that puts the spikes out of their reach cannot match.
  if (spacing < 0 || nominal > 0x7FFFFFFFll) return kRecoveryRecordingTooSmall;

  if (mode == kSpikeModeAutoDetect) {
    return FindAutomatically(messages, recordedFile, info, frames, n, spacing, start, distance);
  }
  if (static_cast<double>(frames) < 0.9 * static_cast<double>(nominal)) {
    return kRecoveryRecordingTooSmall;
  }
  if (static_cast<double>(frames) > 1.1 * static_cast<double>(nominal)) {
    return kRecoveryRecordingTooLarge;
  }
  *start = 0;
  *distance = static_cast<LONG>(frames);
  return 0;
}
