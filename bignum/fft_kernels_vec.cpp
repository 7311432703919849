// The fused frequency-domain pass (fft_kernels_impl.h) with the two-value
// vector type of fft/fft_vec.h: positions p and p+1 as one vector, their
// mirrors q-1 and q as another with its two values exchanged so that lanes
// match. The middle value and the pair (2, 3) take the scalar steps; the
// twiddles are the portable form's, value for value.
#include "bignum/fft_kernels_impl.h"
#include "fft/fft_simd.h"

#ifdef MORLANT_FFT_HAVE_VEC

#include "fft/fft_vec.h"

namespace {

using fftv::cv2;

// Split of the pair (a at k, b the mirror), w = (wr, wi) as a complex value:
// y = (a - conj b) w, a - y, b + conj y.
inline void split(cv2& a, cv2& b, cv2 w) {
  const cv2 y = cmul(a - conj(b), w);
  a = a - y;
  b = b + conj(y);
}

// Unsplit of a product pair: s = (u - conj v) conj(w), u - s, v + conj s.
inline void unsplit(cv2& u, cv2& v, cv2 wc) {
  const cv2 s = cmul(u - conj(v), wc);
  u = u - s;
  v = v + conj(s);
}

struct Vector {
  template <bool XSplit, bool KeepX, bool Square, bool YSplit, bool Acc, bool Unsplit>
  static void run(int32_t L, double* x, const double* y, const double* z, double* out) {
    fftkern::fused_pass<XSplit, KeepX, Square, YSplit, Acc, Unsplit, true>(
        L, x, y, z, out, [&](std::size_t p, std::size_t q, double wr0, double wi0, double wr1, double wi1) {
          // Positions p, p+1 at lo; their mirrors q, q-1 at hi.
          const std::size_t lo = 1 + 2 * p, hi = 1 + 2 * (q - 1);
          const cv2 w = fftv::make(wr0, wi0, wr1, wi1);
          cv2 xa = fftv::load(x + lo), xb = fftv::load_swapped(x + hi);
          if (!XSplit) split(xa, xb, w);
          if (KeepX) {
            fftv::store(x + lo, xa);
            fftv::store_swapped(x + hi, xb);
          }
          cv2 pa, pb;
          if (Square) {
            pa = csqr(xa);
            pb = csqr(xb);
          } else {
            cv2 ya = fftv::load(y + lo), yb = fftv::load_swapped(y + hi);
            if (!YSplit) split(ya, yb, w);
            pa = cmul(xa, ya);
            pb = cmul(xb, yb);
          }
          if (Acc) {
            pa = pa + fftv::load(z + lo);
            pb = pb + fftv::load_swapped(z + hi);
          }
          if (Unsplit) unsplit(pa, pb, conj(w));
          fftv::store(out + lo, pa);
          fftv::store_swapped(out + hi, pb);
        });
  }
};

}  // namespace

void fft_fused_vec(FusedKernel kind, int32_t L, double* x, double* y, double* z) {
  fftkern::dispatch<Vector>(kind, L, x, y, z);
}

#endif
