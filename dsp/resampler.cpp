#include "dsp/resampler.h"
#include "dsp/exact_math.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int kStepsPerSample = 800;
constexpr int kTableUsed = 4001;     // distances 0 .. 5 samples
constexpr int kTableRoom = 4003;     // the last two stay zero
constexpr int kTaps = 9;
constexpr int kHalfTaps = 4;

// Windowed sinc at 800 steps per input sample; T[4000] repeats T[3999] so that interpolation at
// the last step stays inside the table.
void BuildKernelTable(float* table) {
  const double pi = 3.14159265358979323846;
  std::memset(table, 0, kTableRoom * sizeof(float));
  table[0] = 1.0f;
  for (int j = 1; j < kTableUsed - 1; ++j) {
    const double x1 = j * pi / kStepsPerSample;
    const double x2 = x1 / 5 + pi;
    double sine[4];
    double cosine[4];
    NxSinCosPlain(x1, &sine[0], &cosine[0]);
    for (int k = 1; k <= 3; ++k) NxSinCosPlain(k * x2, &sine[k], &cosine[k]);
    const double window =
        0.35875 - 0.48829 * cosine[1] + 0.14128 * cosine[2] - 0.01168 * cosine[3];
    table[j] = static_cast<float>(window * sine[0] / x1);
  }
  table[kTableUsed - 1] = table[kTableUsed - 2];
}

double Lookup(const float* table, double distance) {
  const double steps = std::fabs(distance) * kStepsPerSample;
  const int i = static_cast<int>(steps);
  if (i >= kTableUsed - 1) return 0.0;
  return table[i] + (static_cast<double>(table[i + 1]) - table[i]) * (steps - i);
}

// The nine input samples around the current position of one channel, first = input index of
// window[0]. Moving the window reads only the samples that enter it, so each input sample is read
// from the buffer once, before the in-place output can overwrite it.
struct TapWindow {
  float* window;
  const float* input;
  ptrdiff_t inputLength;
  ptrdiff_t first;

  float At(ptrdiff_t n) const { return n >= 0 && n < inputLength ? input[n] : 0.0f; }

  void MoveTo(ptrdiff_t newFirst) {
    const ptrdiff_t shift = newFirst - first;
    if (shift > 0 && shift < kTaps) {
      std::memmove(window, window + shift, (kTaps - shift) * sizeof(float));
      for (ptrdiff_t k = kTaps - shift; k < kTaps; ++k) window[k] = At(newFirst + k);
    } else if (shift < 0 && -shift < kTaps) {
      std::memmove(window - shift, window, (kTaps + shift) * sizeof(float));
      for (ptrdiff_t k = 0; k < -shift; ++k) window[k] = At(newFirst + k);
    } else if (shift != 0) {
      for (ptrdiff_t k = 0; k < kTaps; ++k) window[k] = At(newFirst + k);
    }
    first = newFirst;
  }

  double Sum(const double* weights) const {
    double sum = 0.0;
    for (int k = 0; k < kTaps; ++k) sum += window[k] * weights[k];
    return sum;
  }
};

// The kernel table, built once per process (4003 floats, 16000 sines and cosines) and only read
// after, so every resampling shares it.
const float* KernelTable() {
  struct Table {
    float values[kTableRoom];
    Table() { BuildKernelTable(values); }
  };
  static const Table table;
  return table.values;
}

}  // namespace

double ResampleKernel(double distance) { return Lookup(KernelTable(), distance); }

int ResampleImpulse(ResampleProgress* progress, float* channel0, float* channel1,
                    size_t inputLength, size_t outputLength) {
  if (inputLength == outputLength) return kResampleDone;
  if (inputLength == 0) {
    // Nothing to interpolate from: the lengthened channels are silent.
    std::memset(channel0, 0, outputLength * sizeof(float));
    if (channel1 != nullptr) std::memset(channel1, 0, outputLength * sizeof(float));
    return kResampleDone;
  }
  const float* const table = KernelTable();
  const int channels = channel1 != nullptr ? 2 : 1;
  std::unique_ptr<float[]> rings(new (std::nothrow) float[kTaps * channels]);
  if (!rings) return kResampleNoTapMemory;

  const double ratio = static_cast<double>(inputLength) / static_cast<double>(outputLength);
  const bool lengthening = outputLength > inputLength;
  float* buffers[2] = {channel0, channel1};
  TapWindow taps[2];
  for (int c = 0; c < channels; ++c) {
    // Start far from any position so that the first move reads all nine samples.
    taps[c] = {rings.get() + kTaps * c, buffers[c], static_cast<ptrdiff_t>(inputLength),
               PTRDIFF_MIN / 2};
  }

  for (size_t step = 0; step < outputLength; ++step) {
    const size_t m = lengthening ? outputLength - 1 - step : step;
    const double position = static_cast<double>(m) * ratio;
    const ptrdiff_t centre = static_cast<ptrdiff_t>(std::floor(position));
    if (progress != nullptr && step % kResampleProgressInterval == 0) {
      const size_t consumed = lengthening ? inputLength - static_cast<size_t>(centre)
                                          : static_cast<size_t>(centre);
      if (progress->Update(static_cast<int>(consumed * 100 / inputLength)) == 0)
        return kResampleCancelled;
    }
    double weights[kTaps];
    for (int k = 0; k < kTaps; ++k)
      weights[k] = Lookup(table, position - static_cast<double>(centre - kHalfTaps + k));
    for (int c = 0; c < channels; ++c) {
      taps[c].MoveTo(centre - kHalfTaps);
      buffers[c][m] = static_cast<float>(taps[c].Sum(weights));
    }
  }

  if (!lengthening) {
    for (int c = 0; c < channels; ++c)
      std::memset(buffers[c] + outputLength, 0, (inputLength - outputLength) * sizeof(float));
  }
  return kResampleDone;
}
