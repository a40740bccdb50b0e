#pragma once

// Real-input FFT of power-of-two size, in float and double, with a reusable setup record.
//
// Numeric contract
// - Size: N is a power of two, 2 <= N <= 2^24, and must equal the size the record was prepared
//   for; any other N (or a null record or buffer) makes a transform return 0 and leaves the
//   buffer untouched.
// - Packed real spectrum, N values, in place over the N input samples:
//     [0] = Re F_0 (DC), [1] = Re F_(N/2) (Nyquist),
//     [2k], [2k+1] = Re F_k, Im F_k for k = 1 .. N/2-1.
// - Sign and scale, s being the caller's scale argument:
//     forward  F_k = (s/N) * sum_n x_n e^(+2 pi i k n / N)          (note the plus sign)
//     inverse  x_n = s * (F_0 + F_(N/2) (-1)^n + 2 sum_(k=1..N/2-1) Re(F_k e^(-2 pi i k n / N)))
//   so inverse(forward(x)) = x with both scales 1, and the inverse of the product of two forward
//   spectra is the circular convolution divided by N.
// - Complex forms (NxSig_FFT_Complex_Float and its inverse) work on L = N/2 interleaved complex
//   values (the same N floats): forward F_k = (s/L) sum z_n e^(+2 pi i k n / L), inverse
//   z_n = s sum F_k e^(-2 pi i k n / L).
// - Interleaved forms: one channel is the plain float form; two channels hold frames (left, right)
//   of N frames and come back as the two packed spectra interleaved value by value.
// - Alignment: none required; buffers need only the natural alignment of float or double.
// - Aliasing: every transform is in place on its one buffer; the record's private scratch is the
//   only other memory touched, so one record serves one thread at a time.
// - Memory: all tables and scratch are allocated when the record is prepared (a float-only record
//   holds no double tables); transforms and the drivers allocate nothing. Allocation failure
//   gives a null record.
// - Progress (NxSig_FFTProcess): each step counts in stepsDone; once the steady clock has reached
//   nextProgressTick (milliseconds), the progress callback runs and the tick moves on by
//   progressInterval. A progress or process callback returning 0 aborts the driver, which then
//   returns 0.
// - The use-library flag is accepted and ignored: the transform always runs on this module's own
//   code, and the work-buffer and library fields stay empty.

#include <cstdint>

struct FFTSETUP;
struct FftPlan;

// Returns 0 to abort the running driver.
typedef int (*NxSigProgressCallback)(void* userData, FFTSETUP* setup, uint32_t stepsDone,
                                     uint32_t stepsTotal);
// Runs between the forward and the inverse transform of a driver on the packed spectrum;
// returns 0 to abort.
typedef int (*NxSigProcessCallback)(FFTSETUP* setup, double* buffer, uint32_t n, void* context);
typedef int (*NxSigProcessCallbackFloat)(FFTSETUP* setup, float* buffer, uint32_t n,
                                         void* context);

struct FFTSETUP {
  void* userData;                          // handed back to the progress callback
  uint32_t size;                           // N
  uint32_t stepsDone;                      // reset to 0 on every (re)prepare
  uint32_t stepsTotal;                     // log2(N) + 1
  NxSigProgressCallback progressCallback;  // may be null
  uint32_t progressInterval;               // milliseconds, 128
  uint32_t nextProgressTick;               // steady-clock milliseconds, wraps modulo 2^32
  uint32_t hasWorkBuffer;                  // always 0: no performance-library path
  void* workBuffer;                        // always null
  uint32_t workBufferSize;                 // bytes, always 0
  void* librarySpec;                       // always null
  FftPlan* plan;                           // private twiddle tables and scratch
};

// Same as NxSig_ReprepareFFT(nullptr, ...).
FFTSETUP* NxSig_PrepareFFT(void* userData, uint32_t n, NxSigProgressCallback callback,
                           int useLibrary);
// Resizes or re-arms an existing record (or makes a new one when setup is null). Returns the
// record, or null when N is not a valid size or memory runs out; an existing record is then left
// exactly as it was and still belongs to the caller.
FFTSETUP* NxSig_ReprepareFFT(FFTSETUP* setup, void* userData, uint32_t n,
                             NxSigProgressCallback callback, int useLibrary);
// A record for the float transforms only: it holds the same float tables as a full record but no
// double ones (half the table memory), and the double transforms refuse it (return 0).
// NxSig_ReprepareFFT on it makes it a full record.
FFTSETUP* NxSig_PrepareFFT_Float(void* userData, uint32_t n, NxSigProgressCallback callback,
                                 int useLibrary);
// Frees the record and everything it owns: 1, or 0 for null.
int NxSig_UnprepareFFT(FFTSETUP* setup);

int NxSig_FFT(FFTSETUP* setup, double* buffer, uint32_t n, double scale);
int NxSig_InverseFFT(FFTSETUP* setup, double* buffer, uint32_t n, double scale);
int NxSig_FFT_Float(FFTSETUP* setup, float* buffer, uint32_t n, float scale);
int NxSig_InverseFFT_Float(FFTSETUP* setup, float* buffer, uint32_t n, float scale);

// Forward, progress step, callback, progress step, inverse: 1, or 0 when any of them fails.
int NxSig_FFTProcess(FFTSETUP* setup, double* buffer, uint32_t n, double forwardScale,
                     double inverseScale, NxSigProcessCallback callback, void* context);
// Forward, callback, inverse: 1, or 0 on a bad size or when the callback returns 0.
int NxSig_FFTProcess_Float(FFTSETUP* setup, float* buffer, uint32_t n, float forwardScale,
                           float inverseScale, NxSigProcessCallbackFloat callback, void* context);

// channels is 1 or 2; n counts frames. The callback sees the interleaved spectra (n frames).
int NxSig_FFT_Interleaved_Float(FFTSETUP* setup, float* buffer, uint32_t n, uint32_t channels,
                                float scale);
int NxSig_InverseFFT_Interleaved_Float(FFTSETUP* setup, float* buffer, uint32_t n,
                                       uint32_t channels, float scale);
int NxSig_FFTProcess_Interleaved_Float(FFTSETUP* setup, float* buffer, uint32_t n,
                                       uint32_t channels, float forwardScale, float inverseScale,
                                       NxSigProcessCallbackFloat callback, void* context);

// complexLength must be N/2 of the record.
int NxSig_FFT_Complex_Float(FFTSETUP* setup, float* buffer, uint32_t complexLength, float scale);
int NxSig_InverseFFT_Complex_Float(FFTSETUP* setup, float* buffer, uint32_t complexLength,
                                   float scale);
