#pragma once

// Portable kernels of the FFT; the SSE2 kernels compute the same operations in the same order.
// Complex values are interleaved (re, im); x and y never overlap in a stage.

#include <cstddef>

namespace fftscalar {

// One radix-4 Stockham stage of sub-transform length 4m at stride s (m * s = M/4), twiddles
// laid out as three runs of m (see FftPlan). Forward uses w = e^(+2 pi i / 4m) and multiplies
// by +i, the inverse the conjugates.
template <typename T, bool Inv>
void stage4(const T* x, T* y, size_t m, size_t s, const T* twiddles) {
  for (size_t p = 0; p < m; ++p) {
    const T* w1 = twiddles + 2 * p;
    const T* w2 = w1 + 2 * m;
    const T* w3 = w1 + 4 * m;
    const T w1r = w1[0];
    const T w1i = Inv ? -w1[1] : w1[1];
    const T w2r = w2[0];
    const T w2i = Inv ? -w2[1] : w2[1];
    const T w3r = w3[0];
    const T w3i = Inv ? -w3[1] : w3[1];
    const T* xa = x + 2 * s * p;
    const T* xb = x + 2 * s * (p + m);
    const T* xc = x + 2 * s * (p + 2 * m);
    const T* xd = x + 2 * s * (p + 3 * m);
    T* y0 = y + 8 * s * p;
    T* y1 = y0 + 2 * s;
    T* y2 = y0 + 4 * s;
    T* y3 = y0 + 6 * s;
    for (size_t q = 0; q < 2 * s; q += 2) {
      const T apcR = xa[q] + xc[q];
      const T apcI = xa[q + 1] + xc[q + 1];
      const T amcR = xa[q] - xc[q];
      const T amcI = xa[q + 1] - xc[q + 1];
      const T bpdR = xb[q] + xd[q];
      const T bpdI = xb[q + 1] + xd[q + 1];
      const T bmdR = xb[q] - xd[q];
      const T bmdI = xb[q + 1] - xd[q + 1];
      // (b - d) turned by +i forward, -i inverse.
      const T jR = Inv ? bmdI : -bmdI;
      const T jI = Inv ? -bmdR : bmdR;
      y0[q] = apcR + bpdR;
      y0[q + 1] = apcI + bpdI;
      const T u1R = amcR + jR;
      const T u1I = amcI + jI;
      y1[q] = u1R * w1r - u1I * w1i;
      y1[q + 1] = u1R * w1i + u1I * w1r;
      const T u2R = apcR - bpdR;
      const T u2I = apcI - bpdI;
      y2[q] = u2R * w2r - u2I * w2i;
      y2[q + 1] = u2R * w2i + u2I * w2r;
      const T u3R = amcR - jR;
      const T u3I = amcI - jI;
      y3[q] = u3R * w3r - u3I * w3i;
      y3[q + 1] = u3R * w3i + u3I * w3r;
    }
  }
}

// The closing radix-2 stage at stride s = M/2 (no twiddles).
template <typename T>
void stage2(const T* x, T* y, size_t s) {
  for (size_t q = 0; q < 2 * s; ++q) {
    const T a = x[q];
    const T b = x[q + 2 * s];
    y[q] = a + b;
    y[q + 2 * s] = a - b;
  }
}

// Z (M complex) -> packed real spectrum of N = 2M; out may equal z. Bin pairs below first are
// already done.
// X_k = E_k + t_k O_k, X_(M-k) = conj(E_k - t_k O_k), E and O the spectra of the even and odd
// samples.
template <typename T>
void splitForward(const T* z, T* out, size_t half, const T* t, T scale, size_t first = 1) {
  const T z0r = z[0];
  const T z0i = z[1];
  out[0] = scale * (z0r + z0i);
  out[1] = scale * (z0r - z0i);
  const T h = scale * T(0.5);
  for (size_t k = first; k < half - k; ++k) {
    const size_t j = half - k;
    const T ar = z[2 * k];
    const T ai = z[2 * k + 1];
    const T br = z[2 * j];
    const T bi = -z[2 * j + 1];
    const T er = ar + br;
    const T ei = ai + bi;
    // O = -i (A - B)
    const T oR = ai - bi;
    const T oI = br - ar;
    const T tr = t[2 * k];
    const T ti = t[2 * k + 1];
    const T pr = tr * oR - ti * oI;
    const T pi = tr * oI + ti * oR;
    out[2 * k] = h * (er + pr);
    out[2 * k + 1] = h * (ei + pi);
    out[2 * j] = h * (er - pr);
    out[2 * j + 1] = h * (pi - ei);
  }
  if (half >= 2) {
    out[half] = scale * z[half];
    out[half + 1] = scale * z[half + 1];
  }
}

// Packed real spectrum -> Z, the inverse of splitForward apart from the scale; z may equal in.
template <typename T>
void splitInverse(const T* in, T* z, size_t half, const T* t, T scale, size_t first = 1) {
  const T x0 = in[0];
  const T xm = in[1];
  z[0] = scale * (x0 + xm);
  z[1] = scale * (x0 - xm);
  for (size_t k = first; k < half - k; ++k) {
    const size_t j = half - k;
    const T ar = in[2 * k];
    const T ai = in[2 * k + 1];
    const T br = in[2 * j];
    const T bi = -in[2 * j + 1];
    const T pr = ar + br;
    const T pi = ai + bi;
    const T qr = ar - br;
    const T qi = ai - bi;
    const T tr = t[2 * k];
    const T ti = t[2 * k + 1];
    // U = conj(t) Q; Z_k = P + iU, Z_(M-k) = conj(P - iU)
    const T ur = tr * qr + ti * qi;
    const T ui = tr * qi - ti * qr;
    z[2 * k] = scale * (pr - ui);
    z[2 * k + 1] = scale * (pi + ur);
    z[2 * j] = scale * (pr + ui);
    z[2 * j + 1] = scale * (ur - pi);
  }
  if (half >= 2) {
    z[half] = T(2) * scale * in[half];
    z[half + 1] = T(2) * scale * in[half + 1];
  }
}

}  // namespace fftscalar
