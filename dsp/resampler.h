// Sample-rate conversion of impulse channels by windowed-sinc interpolation.
//
// Numeric contract:
// - The conversion is defined by the two lengths alone: output sample m sits at input position
//   m * r, r = inputLength / outputLength, and is the sum of the nine input samples
//   n = floor(m r) - 4 .. floor(m r) + 4, each weighted by K(m r - n). Samples outside the input
//   count as zero. The sum is not renormalised.
// - K(d) is sin(pi d) / (pi d) times a 4-term Blackman-Harris window reaching zero at |d| = 5,
//   tabulated in float at 800 steps per input sample and interpolated linearly in double. The
//   cut-off stays at the input's Nyquist frequency in both directions, so shortening does not
//   band-limit to the new rate.
// - In place: each buffer holds max(inputLength, outputLength) samples. Lengthening runs from the
//   last output sample down and shortening from the first up, so no input is overwritten before it
//   is read; after shortening the samples from outputLength to inputLength are zero.
// - The kernel table is built once per process, on first use, and only read after; the tap windows
//   belong to one call. Calls on different buffers may run at the same time.
#pragma once

#include <cstddef>

// Told how far a long conversion has come; returns 0 to cancel it.
class ResampleProgress {
 public:
  virtual int Update(int percentDone) = 0;

 protected:
  ~ResampleProgress() = default;
};

// Result of ResampleImpulse.
constexpr int kResampleDone = 0;
constexpr int kResampleCancelled = 1;  // the progress callback asked to stop
constexpr int kResampleNoTapMemory = -1;

// Output samples between two progress updates (the first comes at the first output sample).
constexpr size_t kResampleProgressInterval = 2001;

// Converts channel0 (and channel1 when not null) from inputLength to outputLength samples in
// place. Equal lengths change nothing. `progress` may be null.
int ResampleImpulse(ResampleProgress* progress, float* channel0, float* channel1,
                    size_t inputLength, size_t outputLength);

// The kernel K(d) for a tap distance d in input samples, as the converter evaluates it (zero
// beyond |d| = 5). For tests and for code that must match the converter exactly.
double ResampleKernel(double distance);
