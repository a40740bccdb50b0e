#pragma once

// SSE2 kernels of the FFT: the same stages as fft_kernels_scalar.h, four floats or two doubles
// (two or one complex values) per register. Every access is an unaligned load or store, so the
// caller's buffer needs no particular alignment.

#include <cstddef>

#include "dsp/fft_kernels_scalar.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace fftsse {

constexpr bool kAvailable = true;

inline __m128 signMaskF(bool even) {
  // Sign bits in lanes 0 and 2 (the real parts) or 1 and 3 (the imaginary parts).
  const int sign = static_cast<int>(0x80000000u);
  return even ? _mm_castsi128_ps(_mm_set_epi32(0, sign, 0, sign))
              : _mm_castsi128_ps(_mm_set_epi32(sign, 0, sign, 0));
}

inline __m128 swapPairs(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1)); }
inline __m128 swapHalves(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 0, 3, 2)); }

// v times +i (forward) or -i (inverse), for both complex values.
template <bool Inv>
inline __m128 turn(__m128 v) {
  return _mm_xor_ps(swapPairs(v), signMaskF(!Inv));
}

// v times w, each lane pair with its own twiddle; the inverse uses conj(w).
template <bool Inv>
inline __m128 mulLanes(__m128 v, __m128 w) {
  const __m128 wr = _mm_shuffle_ps(w, w, _MM_SHUFFLE(2, 2, 0, 0));
  const __m128 wi = _mm_shuffle_ps(w, w, _MM_SHUFFLE(3, 3, 1, 1));
  return _mm_add_ps(_mm_mul_ps(v, wr), _mm_xor_ps(_mm_mul_ps(swapPairs(v), wi), signMaskF(!Inv)));
}

// v times one twiddle given as (re, re, re, re) and (-im, im, -im, im).
inline __m128 mulBroadcast(__m128 v, __m128 wr, __m128 wiSigned) {
  return _mm_add_ps(_mm_mul_ps(v, wr), _mm_mul_ps(swapPairs(v), wiSigned));
}

// First stage (s = 1): two butterflies p, p+1 side by side, outputs transposed on the way out.
template <bool Inv>
void stage4First(const float* x, float* y, size_t m, const float* tw) {
  for (size_t p = 0; p < m; p += 2) {
    const __m128 a = _mm_loadu_ps(x + 2 * p);
    const __m128 b = _mm_loadu_ps(x + 2 * (p + m));
    const __m128 c = _mm_loadu_ps(x + 2 * (p + 2 * m));
    const __m128 d = _mm_loadu_ps(x + 2 * (p + 3 * m));
    const __m128 w1 = _mm_loadu_ps(tw + 2 * p);
    const __m128 w2 = _mm_loadu_ps(tw + 2 * (m + p));
    const __m128 w3 = _mm_loadu_ps(tw + 2 * (2 * m + p));
    const __m128 apc = _mm_add_ps(a, c);
    const __m128 amc = _mm_sub_ps(a, c);
    const __m128 bpd = _mm_add_ps(b, d);
    const __m128 jb = turn<Inv>(_mm_sub_ps(b, d));
    const __m128 o0 = _mm_add_ps(apc, bpd);
    const __m128 o1 = mulLanes<Inv>(_mm_add_ps(amc, jb), w1);
    const __m128 o2 = mulLanes<Inv>(_mm_sub_ps(apc, bpd), w2);
    const __m128 o3 = mulLanes<Inv>(_mm_sub_ps(amc, jb), w3);
    float* out = y + 8 * p;
    _mm_storeu_ps(out, _mm_movelh_ps(o0, o1));
    _mm_storeu_ps(out + 4, _mm_movelh_ps(o2, o3));
    _mm_storeu_ps(out + 8, _mm_movehl_ps(o1, o0));
    _mm_storeu_ps(out + 12, _mm_movehl_ps(o3, o2));
  }
}

// Later stages (s >= 2): one twiddle set per p, broadcast over the s contiguous values.
template <bool Inv>
void stage4Vertical(const float* x, float* y, size_t m, size_t s, const float* tw) {
  for (size_t p = 0; p < m; ++p) {
    const float* w1 = tw + 2 * p;
    const float* w2 = w1 + 2 * m;
    const float* w3 = w1 + 4 * m;
    const float s1 = Inv ? -w1[1] : w1[1];
    const float s2 = Inv ? -w2[1] : w2[1];
    const float s3 = Inv ? -w3[1] : w3[1];
    const __m128 w1r = _mm_set1_ps(w1[0]);
    const __m128 w1i = _mm_set_ps(s1, -s1, s1, -s1);
    const __m128 w2r = _mm_set1_ps(w2[0]);
    const __m128 w2i = _mm_set_ps(s2, -s2, s2, -s2);
    const __m128 w3r = _mm_set1_ps(w3[0]);
    const __m128 w3i = _mm_set_ps(s3, -s3, s3, -s3);
    const float* xa = x + 2 * s * p;
    const float* xb = x + 2 * s * (p + m);
    const float* xc = x + 2 * s * (p + 2 * m);
    const float* xd = x + 2 * s * (p + 3 * m);
    float* y0 = y + 8 * s * p;
    float* y1 = y0 + 2 * s;
    float* y2 = y0 + 4 * s;
    float* y3 = y0 + 6 * s;
    for (size_t q = 0; q < 2 * s; q += 4) {
      const __m128 a = _mm_loadu_ps(xa + q);
      const __m128 b = _mm_loadu_ps(xb + q);
      const __m128 c = _mm_loadu_ps(xc + q);
      const __m128 d = _mm_loadu_ps(xd + q);
      const __m128 apc = _mm_add_ps(a, c);
      const __m128 amc = _mm_sub_ps(a, c);
      const __m128 bpd = _mm_add_ps(b, d);
      const __m128 jb = turn<Inv>(_mm_sub_ps(b, d));
      _mm_storeu_ps(y0 + q, _mm_add_ps(apc, bpd));
      _mm_storeu_ps(y1 + q, mulBroadcast(_mm_add_ps(amc, jb), w1r, w1i));
      _mm_storeu_ps(y2 + q, mulBroadcast(_mm_sub_ps(apc, bpd), w2r, w2i));
      _mm_storeu_ps(y3 + q, mulBroadcast(_mm_sub_ps(amc, jb), w3r, w3i));
    }
  }
}

template <bool Inv>
void stage4(const float* x, float* y, size_t m, size_t s, const float* tw) {
  if (s >= 2) {
    stage4Vertical<Inv>(x, y, m, s, tw);
  } else if (m >= 2) {
    stage4First<Inv>(x, y, m, tw);
  } else {
    fftscalar::stage4<float, Inv>(x, y, m, s, tw);
  }
}

inline void stage2(const float* x, float* y, size_t s) {
  if (s < 2) {
    fftscalar::stage2<float>(x, y, s);
    return;
  }
  for (size_t q = 0; q < 2 * s; q += 4) {
    const __m128 a = _mm_loadu_ps(x + q);
    const __m128 b = _mm_loadu_ps(x + q + 2 * s);
    _mm_storeu_ps(y + q, _mm_add_ps(a, b));
    _mm_storeu_ps(y + q + 2 * s, _mm_sub_ps(a, b));
  }
}

// Bins k, k+1 against M-k, M-k-1 per step; the leftovers and bins 0 and M/2 go through the
// scalar formula.
inline void splitForward(const float* z, float* out, size_t half, const float* t, float scale,
                         size_t first = 1) {
  const __m128 h = _mm_set1_ps(scale * 0.5f);
  const __m128 imSign = signMaskF(false);
  size_t k = first;
  for (; k + 1 < half / 2; k += 2) {
    const size_t j = half - k - 1;
    const __m128 a = _mm_loadu_ps(z + 2 * k);
    const __m128 b = _mm_xor_ps(swapHalves(_mm_loadu_ps(z + 2 * j)), imSign);
    const __m128 e = _mm_add_ps(a, b);
    // O = -i (A - B): (re, im) -> (im, -re)
    const __m128 o = _mm_xor_ps(swapPairs(_mm_sub_ps(a, b)), imSign);
    const __m128 p = mulLanes<false>(o, _mm_loadu_ps(t + 2 * k));
    _mm_storeu_ps(out + 2 * k, _mm_mul_ps(h, _mm_add_ps(e, p)));
    const __m128 lo = _mm_xor_ps(_mm_mul_ps(h, _mm_sub_ps(e, p)), imSign);
    _mm_storeu_ps(out + 2 * j, swapHalves(lo));
  }
  fftscalar::splitForward<float>(z, out, half, t, scale, k);
}

inline void splitInverse(const float* in, float* z, size_t half, const float* t, float scale,
                         size_t first = 1) {
  const __m128 sc = _mm_set1_ps(scale);
  const __m128 imSign = signMaskF(false);
  size_t k = first;
  for (; k + 1 < half / 2; k += 2) {
    const size_t j = half - k - 1;
    const __m128 a = _mm_loadu_ps(in + 2 * k);
    const __m128 b = _mm_xor_ps(swapHalves(_mm_loadu_ps(in + 2 * j)), imSign);
    const __m128 p = _mm_add_ps(a, b);
    const __m128 u = mulLanes<true>(_mm_sub_ps(a, b), _mm_loadu_ps(t + 2 * k));
    const __m128 iu = turn<false>(u);
    _mm_storeu_ps(z + 2 * k, _mm_mul_ps(sc, _mm_add_ps(p, iu)));
    const __m128 hi = _mm_xor_ps(_mm_mul_ps(sc, _mm_sub_ps(p, iu)), imSign);
    _mm_storeu_ps(z + 2 * j, swapHalves(hi));
  }
  fftscalar::splitInverse<float>(in, z, half, t, scale, k);
}

// ---- double: one complex value per register ----

inline __m128d swapD(__m128d v) { return _mm_shuffle_pd(v, v, 1); }

template <bool Inv>
inline __m128d turnD(__m128d v) {
  // +i: (re, im) -> (-im, re); -i: (im, -re)
  const __m128d mask = Inv ? _mm_set_pd(-0.0, 0.0) : _mm_set_pd(0.0, -0.0);
  return _mm_xor_pd(swapD(v), mask);
}

inline __m128d mulD(__m128d v, __m128d wr, __m128d wiSigned) {
  return _mm_add_pd(_mm_mul_pd(v, wr), _mm_mul_pd(swapD(v), wiSigned));
}

template <bool Inv>
void stage4(const double* x, double* y, size_t m, size_t s, const double* tw) {
  for (size_t p = 0; p < m; ++p) {
    const double* w1 = tw + 2 * p;
    const double* w2 = w1 + 2 * m;
    const double* w3 = w1 + 4 * m;
    const double s1 = Inv ? -w1[1] : w1[1];
    const double s2 = Inv ? -w2[1] : w2[1];
    const double s3 = Inv ? -w3[1] : w3[1];
    const __m128d w1r = _mm_set1_pd(w1[0]);
    const __m128d w1i = _mm_set_pd(s1, -s1);
    const __m128d w2r = _mm_set1_pd(w2[0]);
    const __m128d w2i = _mm_set_pd(s2, -s2);
    const __m128d w3r = _mm_set1_pd(w3[0]);
    const __m128d w3i = _mm_set_pd(s3, -s3);
    const double* xa = x + 2 * s * p;
    const double* xb = x + 2 * s * (p + m);
    const double* xc = x + 2 * s * (p + 2 * m);
    const double* xd = x + 2 * s * (p + 3 * m);
    double* y0 = y + 8 * s * p;
    double* y1 = y0 + 2 * s;
    double* y2 = y0 + 4 * s;
    double* y3 = y0 + 6 * s;
    for (size_t q = 0; q < 2 * s; q += 2) {
      const __m128d a = _mm_loadu_pd(xa + q);
      const __m128d b = _mm_loadu_pd(xb + q);
      const __m128d c = _mm_loadu_pd(xc + q);
      const __m128d d = _mm_loadu_pd(xd + q);
      const __m128d apc = _mm_add_pd(a, c);
      const __m128d amc = _mm_sub_pd(a, c);
      const __m128d bpd = _mm_add_pd(b, d);
      const __m128d jb = turnD<Inv>(_mm_sub_pd(b, d));
      _mm_storeu_pd(y0 + q, _mm_add_pd(apc, bpd));
      _mm_storeu_pd(y1 + q, mulD(_mm_add_pd(amc, jb), w1r, w1i));
      _mm_storeu_pd(y2 + q, mulD(_mm_sub_pd(apc, bpd), w2r, w2i));
      _mm_storeu_pd(y3 + q, mulD(_mm_sub_pd(amc, jb), w3r, w3i));
    }
  }
}

inline void stage2(const double* x, double* y, size_t s) {
  for (size_t q = 0; q < 2 * s; q += 2) {
    const __m128d a = _mm_loadu_pd(x + q);
    const __m128d b = _mm_loadu_pd(x + q + 2 * s);
    _mm_storeu_pd(y + q, _mm_add_pd(a, b));
    _mm_storeu_pd(y + q + 2 * s, _mm_sub_pd(a, b));
  }
}

inline void splitForward(const double* z, double* out, size_t half, const double* t,
                         double scale, size_t first = 1) {
  const __m128d h = _mm_set1_pd(scale * 0.5);
  const __m128d imSign = _mm_set_pd(-0.0, 0.0);
  size_t k = first;
  for (; k < half - k; ++k) {
    const size_t j = half - k;
    const __m128d a = _mm_loadu_pd(z + 2 * k);
    const __m128d b = _mm_xor_pd(_mm_loadu_pd(z + 2 * j), imSign);
    const __m128d e = _mm_add_pd(a, b);
    const __m128d o = _mm_xor_pd(swapD(_mm_sub_pd(a, b)), imSign);
    const double tr = t[2 * k];
    const double ti = t[2 * k + 1];
    const __m128d p = mulD(o, _mm_set1_pd(tr), _mm_set_pd(ti, -ti));
    _mm_storeu_pd(out + 2 * k, _mm_mul_pd(h, _mm_add_pd(e, p)));
    _mm_storeu_pd(out + 2 * j, _mm_xor_pd(_mm_mul_pd(h, _mm_sub_pd(e, p)), imSign));
  }
  fftscalar::splitForward<double>(z, out, half, t, scale, k);
}

inline void splitInverse(const double* in, double* z, size_t half, const double* t,
                         double scale, size_t first = 1) {
  const __m128d sc = _mm_set1_pd(scale);
  const __m128d imSign = _mm_set_pd(-0.0, 0.0);
  size_t k = first;
  for (; k < half - k; ++k) {
    const size_t j = half - k;
    const __m128d a = _mm_loadu_pd(in + 2 * k);
    const __m128d b = _mm_xor_pd(_mm_loadu_pd(in + 2 * j), imSign);
    const __m128d p = _mm_add_pd(a, b);
    const double tr = t[2 * k];
    const double ti = t[2 * k + 1];
    const __m128d u = mulD(_mm_sub_pd(a, b), _mm_set1_pd(tr), _mm_set_pd(-ti, ti));
    const __m128d iu = turnD<false>(u);
    _mm_storeu_pd(z + 2 * k, _mm_mul_pd(sc, _mm_add_pd(p, iu)));
    _mm_storeu_pd(z + 2 * j, _mm_xor_pd(_mm_mul_pd(sc, _mm_sub_pd(p, iu)), imSign));
  }
  fftscalar::splitInverse<double>(in, z, half, t, scale, k);
}

}  // namespace fftsse

#else

namespace fftsse {

constexpr bool kAvailable = false;

template <bool Inv, typename T>
void stage4(const T* x, T* y, size_t m, size_t s, const T* tw) {
  fftscalar::stage4<T, Inv>(x, y, m, s, tw);
}
template <typename T>
void stage2(const T* x, T* y, size_t s) {
  fftscalar::stage2<T>(x, y, s);
}
template <typename T>
void splitForward(const T* z, T* out, size_t half, const T* t, T scale, size_t first = 1) {
  fftscalar::splitForward<T>(z, out, half, t, scale, first);
}
template <typename T>
void splitInverse(const T* in, T* z, size_t half, const T* t, T scale, size_t first = 1) {
  fftscalar::splitInverse<T>(in, z, half, t, scale, first);
}

}  // namespace fftsse

#endif
