// AVX2/FMA stages of the FFT, chosen at run time on processors that have them. This file is
// compiled for that instruction set as a whole, so it includes nothing that other files also
// instantiate: every helper here has internal linkage.

#include "dsp/fft_kernels_avx.h"

#if FFT_HAVE_AVX_KERNELS

#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC target("avx2,fma")
#endif

namespace {

inline __m256 swapPairs(__m256 v) { return _mm256_permute_ps(v, 0xB1); }

inline __m256 signEven() {
  return _mm256_castsi256_ps(_mm256_set1_epi64x(static_cast<long long>(0x80000000ull)));
}
inline __m256 signOdd() {
  return _mm256_castsi256_ps(_mm256_set1_epi64x(static_cast<long long>(0x8000000000000000ull)));
}

// v times +i (forward) or -i (inverse).
template <bool Inv>
inline __m256 turn(__m256 v) {
  return _mm256_xor_ps(swapPairs(v), Inv ? signOdd() : signEven());
}

// v times w (conj(w) for the inverse), w given as its real and imaginary parts per lane.
template <bool Inv>
inline __m256 mul(__m256 v, __m256 wr, __m256 wi) {
  const __m256 cross = _mm256_mul_ps(swapPairs(v), wi);
  return Inv ? _mm256_fmsubadd_ps(v, wr, cross) : _mm256_fmaddsub_ps(v, wr, cross);
}

template <bool Inv>
inline __m256 mulLanes(__m256 v, __m256 w) {
  return mul<Inv>(v, _mm256_moveldup_ps(w), _mm256_movehdup_ps(w));
}

template <bool Inv>
void stage4FirstF(const float* x, float* y, size_t m, const float* tw) {
  for (size_t p = 0; p < m; p += 4) {
    const __m256 a = _mm256_loadu_ps(x + 2 * p);
    const __m256 b = _mm256_loadu_ps(x + 2 * (p + m));
    const __m256 c = _mm256_loadu_ps(x + 2 * (p + 2 * m));
    const __m256 d = _mm256_loadu_ps(x + 2 * (p + 3 * m));
    const __m256 w1 = _mm256_loadu_ps(tw + 2 * p);
    const __m256 w2 = _mm256_loadu_ps(tw + 2 * (m + p));
    const __m256 w3 = _mm256_loadu_ps(tw + 2 * (2 * m + p));
    const __m256 apc = _mm256_add_ps(a, c);
    const __m256 amc = _mm256_sub_ps(a, c);
    const __m256 bpd = _mm256_add_ps(b, d);
    const __m256 jb = turn<Inv>(_mm256_sub_ps(b, d));
    const __m256d o0 = _mm256_castps_pd(_mm256_add_ps(apc, bpd));
    const __m256d o1 = _mm256_castps_pd(mulLanes<Inv>(_mm256_add_ps(amc, jb), w1));
    const __m256d o2 = _mm256_castps_pd(mulLanes<Inv>(_mm256_sub_ps(apc, bpd), w2));
    const __m256d o3 = _mm256_castps_pd(mulLanes<Inv>(_mm256_sub_ps(amc, jb), w3));
    // Transpose the 4 x 4 complex block so that each butterfly's outputs lie together.
    const __m256d t0 = _mm256_unpacklo_pd(o0, o1);
    const __m256d t1 = _mm256_unpackhi_pd(o0, o1);
    const __m256d u0 = _mm256_unpacklo_pd(o2, o3);
    const __m256d u1 = _mm256_unpackhi_pd(o2, o3);
    double* out = reinterpret_cast<double*>(y + 8 * p);
    _mm256_storeu_pd(out, _mm256_permute2f128_pd(t0, u0, 0x20));
    _mm256_storeu_pd(out + 4, _mm256_permute2f128_pd(t1, u1, 0x20));
    _mm256_storeu_pd(out + 8, _mm256_permute2f128_pd(t0, u0, 0x31));
    _mm256_storeu_pd(out + 12, _mm256_permute2f128_pd(t1, u1, 0x31));
  }
}

template <bool Inv>
void stage4VerticalF(const float* x, float* y, size_t m, size_t s, const float* tw) {
  for (size_t p = 0; p < m; ++p) {
    const float* w1 = tw + 2 * p;
    const float* w2 = w1 + 2 * m;
    const float* w3 = w1 + 4 * m;
    const __m256 w1r = _mm256_set1_ps(w1[0]);
    const __m256 w1i = _mm256_set1_ps(w1[1]);
    const __m256 w2r = _mm256_set1_ps(w2[0]);
    const __m256 w2i = _mm256_set1_ps(w2[1]);
    const __m256 w3r = _mm256_set1_ps(w3[0]);
    const __m256 w3i = _mm256_set1_ps(w3[1]);
    const float* xa = x + 2 * s * p;
    const float* xb = x + 2 * s * (p + m);
    const float* xc = x + 2 * s * (p + 2 * m);
    const float* xd = x + 2 * s * (p + 3 * m);
    float* y0 = y + 8 * s * p;
    float* y1 = y0 + 2 * s;
    float* y2 = y0 + 4 * s;
    float* y3 = y0 + 6 * s;
    for (size_t q = 0; q < 2 * s; q += 8) {
      const __m256 a = _mm256_loadu_ps(xa + q);
      const __m256 b = _mm256_loadu_ps(xb + q);
      const __m256 c = _mm256_loadu_ps(xc + q);
      const __m256 d = _mm256_loadu_ps(xd + q);
      const __m256 apc = _mm256_add_ps(a, c);
      const __m256 amc = _mm256_sub_ps(a, c);
      const __m256 bpd = _mm256_add_ps(b, d);
      const __m256 jb = turn<Inv>(_mm256_sub_ps(b, d));
      _mm256_storeu_ps(y0 + q, _mm256_add_ps(apc, bpd));
      _mm256_storeu_ps(y1 + q, mul<Inv>(_mm256_add_ps(amc, jb), w1r, w1i));
      _mm256_storeu_ps(y2 + q, mul<Inv>(_mm256_sub_ps(apc, bpd), w2r, w2i));
      _mm256_storeu_ps(y3 + q, mul<Inv>(_mm256_sub_ps(amc, jb), w3r, w3i));
    }
  }
}

// ---- double: two complex values per register ----

inline __m256d swapD(__m256d v) { return _mm256_permute_pd(v, 0x5); }

template <bool Inv>
inline __m256d turnD(__m256d v) {
  const __m256d mask =
      Inv ? _mm256_set_pd(-0.0, 0.0, -0.0, 0.0) : _mm256_set_pd(0.0, -0.0, 0.0, -0.0);
  return _mm256_xor_pd(swapD(v), mask);
}

template <bool Inv>
inline __m256d mulD(__m256d v, __m256d wr, __m256d wi) {
  const __m256d cross = _mm256_mul_pd(swapD(v), wi);
  return Inv ? _mm256_fmsubadd_pd(v, wr, cross) : _mm256_fmaddsub_pd(v, wr, cross);
}

template <bool Inv>
inline __m256d mulLanesD(__m256d v, __m256d w) {
  return mulD<Inv>(v, _mm256_movedup_pd(w), _mm256_permute_pd(w, 0xF));
}

template <bool Inv>
void stage4FirstD(const double* x, double* y, size_t m, const double* tw) {
  for (size_t p = 0; p < m; p += 2) {
    const __m256d a = _mm256_loadu_pd(x + 2 * p);
    const __m256d b = _mm256_loadu_pd(x + 2 * (p + m));
    const __m256d c = _mm256_loadu_pd(x + 2 * (p + 2 * m));
    const __m256d d = _mm256_loadu_pd(x + 2 * (p + 3 * m));
    const __m256d w1 = _mm256_loadu_pd(tw + 2 * p);
    const __m256d w2 = _mm256_loadu_pd(tw + 2 * (m + p));
    const __m256d w3 = _mm256_loadu_pd(tw + 2 * (2 * m + p));
    const __m256d apc = _mm256_add_pd(a, c);
    const __m256d amc = _mm256_sub_pd(a, c);
    const __m256d bpd = _mm256_add_pd(b, d);
    const __m256d jb = turnD<Inv>(_mm256_sub_pd(b, d));
    const __m256d o0 = _mm256_add_pd(apc, bpd);
    const __m256d o1 = mulLanesD<Inv>(_mm256_add_pd(amc, jb), w1);
    const __m256d o2 = mulLanesD<Inv>(_mm256_sub_pd(apc, bpd), w2);
    const __m256d o3 = mulLanesD<Inv>(_mm256_sub_pd(amc, jb), w3);
    double* out = y + 8 * p;
    _mm256_storeu_pd(out, _mm256_permute2f128_pd(o0, o1, 0x20));
    _mm256_storeu_pd(out + 4, _mm256_permute2f128_pd(o2, o3, 0x20));
    _mm256_storeu_pd(out + 8, _mm256_permute2f128_pd(o0, o1, 0x31));
    _mm256_storeu_pd(out + 12, _mm256_permute2f128_pd(o2, o3, 0x31));
  }
}

template <bool Inv>
void stage4VerticalD(const double* x, double* y, size_t m, size_t s, const double* tw) {
  for (size_t p = 0; p < m; ++p) {
    const double* w1 = tw + 2 * p;
    const double* w2 = w1 + 2 * m;
    const double* w3 = w1 + 4 * m;
    const __m256d w1r = _mm256_set1_pd(w1[0]);
    const __m256d w1i = _mm256_set1_pd(w1[1]);
    const __m256d w2r = _mm256_set1_pd(w2[0]);
    const __m256d w2i = _mm256_set1_pd(w2[1]);
    const __m256d w3r = _mm256_set1_pd(w3[0]);
    const __m256d w3i = _mm256_set1_pd(w3[1]);
    const double* xa = x + 2 * s * p;
    const double* xb = x + 2 * s * (p + m);
    const double* xc = x + 2 * s * (p + 2 * m);
    const double* xd = x + 2 * s * (p + 3 * m);
    double* y0 = y + 8 * s * p;
    double* y1 = y0 + 2 * s;
    double* y2 = y0 + 4 * s;
    double* y3 = y0 + 6 * s;
    for (size_t q = 0; q < 2 * s; q += 4) {
      const __m256d a = _mm256_loadu_pd(xa + q);
      const __m256d b = _mm256_loadu_pd(xb + q);
      const __m256d c = _mm256_loadu_pd(xc + q);
      const __m256d d = _mm256_loadu_pd(xd + q);
      const __m256d apc = _mm256_add_pd(a, c);
      const __m256d amc = _mm256_sub_pd(a, c);
      const __m256d bpd = _mm256_add_pd(b, d);
      const __m256d jb = turnD<Inv>(_mm256_sub_pd(b, d));
      _mm256_storeu_pd(y0 + q, _mm256_add_pd(apc, bpd));
      _mm256_storeu_pd(y1 + q, mulD<Inv>(_mm256_add_pd(amc, jb), w1r, w1i));
      _mm256_storeu_pd(y2 + q, mulD<Inv>(_mm256_sub_pd(apc, bpd), w2r, w2i));
      _mm256_storeu_pd(y3 + q, mulD<Inv>(_mm256_sub_pd(amc, jb), w3r, w3i));
    }
  }
}

inline __m256 reverseComplexF(__m256 v) {
  return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(v), 0x1B));
}

inline __m256d reverseComplexD(__m256d v) { return _mm256_permute2f128_pd(v, v, 0x01); }

}  // namespace

size_t fftAvxSplitForward(const float* z, float* out, size_t half, const float* t, float scale) {
  const __m256 h = _mm256_set1_ps(scale * 0.5f);
  size_t k = 1;
  for (; k + 3 < half / 2; k += 4) {
    const size_t j = half - k - 3;
    const __m256 a = _mm256_loadu_ps(z + 2 * k);
    const __m256 b = _mm256_xor_ps(reverseComplexF(_mm256_loadu_ps(z + 2 * j)), signOdd());
    const __m256 e = _mm256_add_ps(a, b);
    // O = -i (A - B)
    const __m256 o = turn<true>(_mm256_sub_ps(a, b));
    const __m256 p = mulLanes<false>(o, _mm256_loadu_ps(t + 2 * k));
    _mm256_storeu_ps(out + 2 * k, _mm256_mul_ps(h, _mm256_add_ps(e, p)));
    const __m256 lo = _mm256_xor_ps(_mm256_mul_ps(h, _mm256_sub_ps(e, p)), signOdd());
    _mm256_storeu_ps(out + 2 * j, reverseComplexF(lo));
  }
  return k;
}

size_t fftAvxSplitInverse(const float* in, float* z, size_t half, const float* t, float scale) {
  const __m256 sc = _mm256_set1_ps(scale);
  size_t k = 1;
  for (; k + 3 < half / 2; k += 4) {
    const size_t j = half - k - 3;
    const __m256 a = _mm256_loadu_ps(in + 2 * k);
    const __m256 b = _mm256_xor_ps(reverseComplexF(_mm256_loadu_ps(in + 2 * j)), signOdd());
    const __m256 p = _mm256_add_ps(a, b);
    const __m256 iu = turn<false>(mulLanes<true>(_mm256_sub_ps(a, b), _mm256_loadu_ps(t + 2 * k)));
    _mm256_storeu_ps(z + 2 * k, _mm256_mul_ps(sc, _mm256_add_ps(p, iu)));
    const __m256 hi = _mm256_xor_ps(_mm256_mul_ps(sc, _mm256_sub_ps(p, iu)), signOdd());
    _mm256_storeu_ps(z + 2 * j, reverseComplexF(hi));
  }
  return k;
}

size_t fftAvxSplitForward(const double* z, double* out, size_t half, const double* t,
                          double scale) {
  const __m256d h = _mm256_set1_pd(scale * 0.5);
  const __m256d imSign = _mm256_set_pd(-0.0, 0.0, -0.0, 0.0);
  size_t k = 1;
  for (; k + 1 < half / 2; k += 2) {
    const size_t j = half - k - 1;
    const __m256d a = _mm256_loadu_pd(z + 2 * k);
    const __m256d b = _mm256_xor_pd(reverseComplexD(_mm256_loadu_pd(z + 2 * j)), imSign);
    const __m256d e = _mm256_add_pd(a, b);
    const __m256d o = turnD<true>(_mm256_sub_pd(a, b));
    const __m256d p = mulLanesD<false>(o, _mm256_loadu_pd(t + 2 * k));
    _mm256_storeu_pd(out + 2 * k, _mm256_mul_pd(h, _mm256_add_pd(e, p)));
    const __m256d lo = _mm256_xor_pd(_mm256_mul_pd(h, _mm256_sub_pd(e, p)), imSign);
    _mm256_storeu_pd(out + 2 * j, reverseComplexD(lo));
  }
  return k;
}

size_t fftAvxSplitInverse(const double* in, double* z, size_t half, const double* t,
                          double scale) {
  const __m256d sc = _mm256_set1_pd(scale);
  const __m256d imSign = _mm256_set_pd(-0.0, 0.0, -0.0, 0.0);
  size_t k = 1;
  for (; k + 1 < half / 2; k += 2) {
    const size_t j = half - k - 1;
    const __m256d a = _mm256_loadu_pd(in + 2 * k);
    const __m256d b = _mm256_xor_pd(reverseComplexD(_mm256_loadu_pd(in + 2 * j)), imSign);
    const __m256d p = _mm256_add_pd(a, b);
    const __m256d iu =
        turnD<false>(mulLanesD<true>(_mm256_sub_pd(a, b), _mm256_loadu_pd(t + 2 * k)));
    _mm256_storeu_pd(z + 2 * k, _mm256_mul_pd(sc, _mm256_add_pd(p, iu)));
    const __m256d hi = _mm256_xor_pd(_mm256_mul_pd(sc, _mm256_sub_pd(p, iu)), imSign);
    _mm256_storeu_pd(z + 2 * j, reverseComplexD(hi));
  }
  return k;
}

bool fftAvxStage4(const float* x, float* y, size_t m, size_t s, const float* tw, bool inverse) {
  if (s >= 4) {
    inverse ? stage4VerticalF<true>(x, y, m, s, tw) : stage4VerticalF<false>(x, y, m, s, tw);
  } else if (s == 1 && m >= 4) {
    inverse ? stage4FirstF<true>(x, y, m, tw) : stage4FirstF<false>(x, y, m, tw);
  } else {
    return false;
  }
  return true;
}

bool fftAvxStage4(const double* x, double* y, size_t m, size_t s, const double* tw,
                  bool inverse) {
  if (s >= 2) {
    inverse ? stage4VerticalD<true>(x, y, m, s, tw) : stage4VerticalD<false>(x, y, m, s, tw);
  } else if (m >= 2) {
    inverse ? stage4FirstD<true>(x, y, m, tw) : stage4FirstD<false>(x, y, m, tw);
  } else {
    return false;
  }
  return true;
}

bool fftAvxStage2(const float* x, float* y, size_t s) {
  if (s < 4) return false;
  for (size_t q = 0; q < 2 * s; q += 8) {
    const __m256 a = _mm256_loadu_ps(x + q);
    const __m256 b = _mm256_loadu_ps(x + q + 2 * s);
    _mm256_storeu_ps(y + q, _mm256_add_ps(a, b));
    _mm256_storeu_ps(y + q + 2 * s, _mm256_sub_ps(a, b));
  }
  return true;
}

bool fftAvxStage2(const double* x, double* y, size_t s) {
  if (s < 2) return false;
  for (size_t q = 0; q < 2 * s; q += 4) {
    const __m256d a = _mm256_loadu_pd(x + q);
    const __m256d b = _mm256_loadu_pd(x + q + 2 * s);
    _mm256_storeu_pd(y + q, _mm256_add_pd(a, b));
    _mm256_storeu_pd(y + q + 2 * s, _mm256_sub_pd(a, b));
  }
  return true;
}

#if defined(__clang__)
#pragma clang attribute pop
#endif

#endif
