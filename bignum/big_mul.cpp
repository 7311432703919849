// Products and squares by transform, built from the loading, kernels and
// carry-back of big_transform.h.
#include "bignum/big_mul.h"

#include <cmath>
#include <cstring>

#include "bignum/big_transform.h"
#include "fft/fft.h"

namespace {

// The spectra stay in the forward transform's bit-reversed order, which the
// kernels read as it lies; the inverse takes that order back to natural.
void forward(int32_t L, double* X, Team* team) { fft_forward_scrambled_half(L, X + 1, team); }
void inverse(int32_t L, double* X, Team* team) { fft_inverse_scrambled(L, X + 1, team); }

// X <- the spectrum of a's words from index s of its w words (big_to_transform).
void spectrum(const BigFloat* a, int32_t s, int32_t w, int32_t R, int32_t L, double* X, Team* team) {
  big_to_transform(a, s, w, R, L, X, team);
  forward(L, X, team);
}

// Value 0 of the half-length spectrum carries the sums of the even (re) and
// odd (im) samples; the real spectrum at 0 and L/2 is their sum and
// difference. The product's (even, odd) sums are (ex ey + ox oy, ex oy + ox ey).
void value0_mul(const double* x, double* y) {
  const double x1 = x[1], x2 = x[2], y1 = y[1], y2 = y[2];
  y[1] = x1 * y1 + x2 * y2;
  y[2] = x1 * y2 + x2 * y1;
}
void value0_sqr(const double* x, double* y) {
  const double x1 = x[1], x2 = x[2];
  y[1] = x1 * x1 + x2 * x2;
  y[2] = 2.0 * x1 * x2;
}

// The product step into y without the inverse transform: exponents add,
// value 0, the kernel for values 1 ... L/2-1, the leading product. x is only
// read here; the kernel decides what becomes of it.
template <class Kernel>
void mul_step(int32_t L, const double* x, double* y, Kernel kernel) {
  y[0] += x[0];
  value0_mul(x, y);
  if (L >= 4) kernel();
  y[L + 1] *= x[L + 1];
}

// Squares x in place: x in raw form (Stored = false) or split form.
template <bool Stored>
void sqr_in_place(int32_t L, double* x, Team* team) {
  x[0] *= 2.0;
  value0_sqr(x, x);
  if (L >= 4) {
    if (Stored) fft_sqr_stored_kernel(L, x, team);
    else fft_sqr_kernel(L, x, team);
  }
  x[L + 1] *= x[L + 1];
}

// First index j in [from, n) with a non-zero word in a (or b), else -1.
int32_t first_nonzero(const BigFloat* a, const BigFloat* b, int32_t from, int32_t n) {
  for (int32_t j = from; j < n; ++j)
    if (a->digits[j] != 0 || (b != nullptr && b->digits[j] != 0)) return j;
  return -1;
}

// Where the lo parts of a long product of n words start: the first index
// at or above L/2 + 1 with a non-zero word in a (or b); when there is none,
// max(L/2 + 1, n), so that nothing is loaded from there.
int32_t lo_start(const BigFloat* a, const BigFloat* b, int32_t n, int32_t L) {
  const int32_t hi = L / 2 + 1;
  const int32_t j0 = first_nonzero(a, b, hi, n);
  return j0 >= 0 ? j0 : hi > n ? hi : n;
}

// Inverse-transforms a product in X and carries it back into out with w words.
void carry_back(int32_t w, int32_t R, int32_t L, double* X, BigFloat* out, Team* team) {
  inverse(L, X, team);
  big_from_transform(w, R, L, X, out, team);
}

// Inverse-transforms the cross products of a long product in X and carries
// them back into out, ready to be added to the high product over n words.
// Their leading word lies j0 words below the high product's, less up to two
// words when the cross products carry out of their leading word (big leading
// product, then a carry) while the high product does not; n - j0 + 2 words
// therefore reach the result's last word in every case, and at least half
// the words are kept so that the rounding position never lies above the
// result's. The words beyond that count are cleared: the addition reads all n.
void carry_back_cross(int32_t n, int32_t j0, int32_t R, int32_t L, double* X, BigFloat* out, Team* team) {
  int32_t w = n - j0 + 2;
  if (w < n / 2 + 1) w = n / 2 + 1;
  if (w > n) w = n;
  carry_back(w, R, L, X, out, team);
  if (w < n) std::memset(out->digits + w, 0, static_cast<std::size_t>(n - w) * sizeof(uint16_t));
}

// The cross product x * b_lo (b's words from j0) of a long product into out,
// x being the number whose split spectrum P holds (P is unchanged); b is
// loaded before out is written, so out may be b.
void cross_stored(int32_t n, int32_t j0, int32_t R, const BigFloat* b, BigFloat* out,
                  const ProductScratch* scratch) {
  const int32_t L = scratch->L;
  double* Q = scratch->Q;
  Team* team = scratch->team;
  spectrum(b, j0, n, R, L, Q, team);
  mul_step(L, scratch->P, Q, [&] { fft_mul_stored_kernel(L, scratch->P, Q, team); });
  carry_back_cross(n, j0, R, L, Q, out, team);
}

}  // namespace

void big_mul(int32_t n, int32_t R, const BigFloat* a, const BigFloat* b, BigFloat* out,
             const ProductScratch* scratch) {
  const int32_t L = scratch->L;
  Team* team = scratch->team;
  double* P = scratch->P;
  double* Q = scratch->Q;
  double* S = scratch->S;
  const int32_t j0 = lo_start(a, b, n, L);

  // a_hi * b_lo, left in split form in S; P keeps a_hi's split spectrum.
  spectrum(a, 0, n, R, L, P, team);
  spectrum(b, j0, n, R, L, S, team);
  mul_step(L, P, S, [&] { fft_mul_partial_kernel(L, P, S, team); });

  // a_hi * b_hi into P; Q keeps b_hi's split spectrum.
  spectrum(b, 0, n, R, L, Q, team);
  mul_step(L, Q, P, [&] { fft_mul_into_stored_kernel(L, Q, P, team); });
  carry_back(n, R, L, P, scratch->tmp, team);

  // a_lo * b_hi added to a_hi * b_lo in the frequency domain: both have the
  // exponent a.exponent + b.exponent - j0 already in S[0].
  spectrum(a, j0, n, R, L, P, team);
  const double s1 = S[1], s2 = S[2];
  value0_mul(Q, P);
  S[1] = s1 + P[1];
  S[2] = s2 + P[2];
  if (L >= 4) fft_mul_accumulate_kernel(L, Q, P, S, team);
  S[L + 1] += P[L + 1] * Q[L + 1];
  carry_back_cross(n, j0, R, L, S, out, team);
  big_add(n, R, out, scratch->tmp, out, team);
}

void big_mul_short(int32_t n, int32_t R, const BigFloat* a, const BigFloat* b, BigFloat* out,
                   const ProductScratch* scratch) {
  const int32_t j0 = lo_start(b, nullptr, n, scratch->L);
  big_mul_half(n, R, a, b, scratch->tmp, scratch);
  cross_stored(n, j0, R, b, out, scratch);
  big_add(n, R, out, scratch->tmp, out, scratch->team);
}

void big_sqr_stored(int32_t w, int32_t R, BigFloat* out, const ProductScratch* scratch) {
  sqr_in_place<true>(scratch->L, scratch->P, scratch->team);
  carry_back(w, R, scratch->L, scratch->P, out, scratch->team);
}

void big_sqr_short(int32_t n, int32_t R, const BigFloat* a, BigFloat* out, const ProductScratch* scratch) {
  cross_stored(n, lo_start(a, nullptr, n, scratch->L), R, a, scratch->tmp, scratch);
  big_sqr_stored(n, R, out, scratch);
  big_add(n, R, out, scratch->tmp, out, scratch->team);
}

void big_mul_half(int32_t w, int32_t R, const BigFloat* a, const BigFloat* b, BigFloat* out,
                  const ProductScratch* scratch) {
  const int32_t L = scratch->L;
  Team* team = scratch->team;
  double* P = scratch->P;
  double* Q = scratch->Q;
  spectrum(a, 0, w, R, L, P, team);
  spectrum(b, 0, w, R, L, Q, team);
  mul_step(L, P, Q, [&] { fft_mul_kernel(L, P, Q, team); });
  carry_back(w, R, L, Q, out, team);
}

void big_mul_stored(int32_t w, int32_t R, const BigFloat* b, int32_t from, BigFloat* out,
                    const ProductScratch* scratch) {
  const int32_t L = scratch->L;
  Team* team = scratch->team;
  const double* P = scratch->P;
  double* Q = scratch->Q;
  int32_t j = first_nonzero(b, nullptr, from, w);
  if (j < 0) j = w;
  spectrum(b, j, w, R, L, Q, team);
  mul_step(L, P, Q, [&] { fft_mul_stored_kernel(L, P, Q, team); });
  carry_back(w, R, L, Q, out, team);
}

void big_sqr(int32_t w, int32_t R, const BigFloat* a, BigFloat* out, const ProductScratch* scratch) {
  const int32_t L = scratch->L;
  Team* team = scratch->team;
  double* P = scratch->P;
  spectrum(a, 0, w, R, L, P, team);
  sqr_in_place<false>(L, P, team);
  carry_back(w, R, L, P, out, team);
}

void big_sqr_keep(int32_t w, int32_t R, const BigFloat* a, BigFloat* out, const ProductScratch* scratch) {
  const int32_t L = scratch->L;
  Team* team = scratch->team;
  double* P = scratch->P;
  double* Q = scratch->Q;
  spectrum(a, 0, w, R, L, P, team);
  Q[0] = 2.0 * P[0];
  value0_sqr(P, Q);
  if (L >= 4) fft_sqr_keep_kernel(L, P, Q, team);
  Q[L + 1] = P[L + 1] * P[L + 1];
  carry_back(w, R, L, Q, out, team);
}

// The worst case loaded: largest leading word R-1, second word R (R-1 plus
// a balancing carry), then balanced words of the largest magnitude. Its
// square has the largest coefficients, and so the largest rounding errors,
// that any product at this length and radix can have.
//
// The scan walks the coefficients from the lowest up like a floating-point
// carry chain: each scaled coefficient c = X[i] * 2/L, plus the integer
// carries q from the parts below and 0.5, is scaled by R^-2 and cut into
// base-R parts, and d, the fraction of the lowest part less 0.5, is c's
// signed distance from its nearest integer (integer carries do not move it).
// That holds up to the rounding of the scan's own operations, a few units of
// 2^-52 relative to the coefficient; the margin compute_pi adds covers it.
// big_from_transform rounds every c (exact: 2/L is a power of two) to its
// nearest integer on its own, which gives the exact coefficient as long as c
// lies within 1/2 of it; for the worst case, twice the largest |d| is thus
// twice the largest error that rounding has to absorb. The scan is kept as
// it is: its result chooses the radix, and so the digits.
double fft_roundoff_test(int32_t n, int32_t R, int32_t L, double* X, Team* team) {
  const int32_t m = L / 2 + 1 < n ? L / 2 + 1 : n;
  X[L + 1] = R - 1;
  for (int32_t i = m + 1; i <= L; ++i) X[i] = 0.0;
  for (int32_t i = 3; i <= m; ++i) X[i] = (R + 1) / 2;
  X[1] = R - 1;
  X[0] = 0.0;
  X[2] = R;

  forward(L, X, team);
  sqr_in_place<false>(L, X, team);
  inverse(L, X, team);
  X[L + 1] = X[1] - std::fabs((L / 2.0) * X[L + 1]);

  const double rinv2 = 1.0 / (static_cast<double>(R) * R);
  const double s = 2.0 / L;
  double q = 0.0, h = 0.0, E = 0.0;
  for (int32_t i = L + 1; i >= 2; --i) {
    const double V = rinv2 * (X[i] * s + q + 0.5);
    const double hv = std::trunc(V) - 1.0;
    const double t = (V - hv) * R;
    const double f = (t - std::trunc(t)) * R;
    const double d = f - 0.5 - std::trunc(f);
    E = std::fabs(d) > E ? std::fabs(d) : E;
    q = h + std::trunc(t);
    h = hv;
  }
  return 2.0 * E;
}
