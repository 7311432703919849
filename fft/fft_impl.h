// The transforms of one path, written once against the two-value vector cv2
// (fft_vec.h) and compiled once per path: fft_path_portable.cpp with the
// portable lowering, fft_path_vector.cpp with the vector one. Internal
// header of fft/; include it in exactly those two sources.
//
// Radix-4 decimation in frequency, depth first, without tables. A "plain"
// transform of a block of M values puts sum_j z[j] w^(jk) and an "odd" one
// sum_j z[j] w^(j(k+1/2)), w = exp(2 pi i/M), at position bitrev(k). A
// block's stage leaves its quarters, in address order, to be finished by
// plain, odd, plain and the block's own kind of transform (for_quarters);
// in bit-reversed order these are exactly the four output quarters, so the
// quarters are finished in place.
//
// The product path's inverse is the exact adjoint (conjugate transpose) of
// the forward transform without its permutation, run in reverse: a block's
// quarters first, then its stage's adjoint. The forward transform is F = P D
// (D the stages, P the bit reversal); F is symmetric, so D^H (P F x) =
// F^H F x = N x: the adjoints invert the unpermuted forward transform, and
// the product path needs no permutation at all.
//
// Block sizes (fft_vec.h, per lowering): a stage on up to kStraightStageMax
// doubles is straight-line code with compile-time twiddles, beyond that a
// loop over twiddle chains; a block of up to kRegsBlockMax doubles is
// transformed whole in registers.
#ifndef MORLANT_FFT_FFT_IMPL_H
#define MORLANT_FFT_FFT_IMPL_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "fft/fft_simd.h"
#include "fft/fft_vec.h"
#include "fft/team.h"

namespace fftv {
namespace {

using std::size_t;
template <long N>
using seq = std::make_integer_sequence<long, N>;

// The quarters of a block of kind Odd: calls visit(kind, k) for quarter k =
// 0 ... 3 in address order, kind a std::bool_constant (true: odd), as
// quarter_is_odd says.
constexpr bool quarter_is_odd(bool odd, long k) { return k == 1 || (k == 3 && odd); }

template <bool Odd, class Visit>
MORLANT_FFT_INLINE void for_quarters(Visit visit) {
  visit(std::bool_constant<quarter_is_odd(Odd, 0)>(), 0);
  visit(std::bool_constant<quarter_is_odd(Odd, 1)>(), 1);
  visit(std::bool_constant<quarter_is_odd(Odd, 2)>(), 2);
  visit(std::bool_constant<quarter_is_odd(Odd, 3)>(), 3);
}

// ---- Twiddles ----

// The angle of a stage on a block of M = n/2 values: w = exp(i theta) with
// theta = 2 pi/M for the plain stages and pi/M for the odd one.
template <bool Odd>
inline double stage_angle(int32_t n) {
  const size_t m = static_cast<size_t>(n) / 2;
  return Odd ? 2.0 * (kHalfPi / static_cast<double>(m)) : 2.0 * (kHalfPi / static_cast<double>(m / 2));
}

// Twiddle k of a stage on a block of M complex values: w^k, w = exp(2 pi i/M)
// (plain) or v^k, v = exp(i pi/M) (odd). Evaluated by the compiler, whatever
// its optimisation.
template <bool Odd, long M, long K>
struct StageRoot {
  static constexpr cpx value = Odd ? unit_root(K, 2 * M) : unit_root(K, M);
};

// The twiddle vectors (W1, W3) of front pair P of a stage on M values: W1 =
// (w^(2P), w^(2P+1)), W3 = (w^(6P), w^(6P+3)).
template <bool Odd, long M, long P>
inline cv2 stage_w1() { return make(StageRoot<Odd, M, 2 * P>::value, StageRoot<Odd, M, 2 * P + 1>::value); }
template <bool Odd, long M, long P>
inline cv2 stage_w3() { return make(StageRoot<Odd, M, 6 * P>::value, StageRoot<Odd, M, 6 * P + 3>::value); }

// The looping stages. The stage's Q values per quarter are Q/2 vectors: the
// front pairs (j, j+1) for even j < Q/2 and the back pairs (Q-j-2, Q-j-1).
// The front twiddles C_j = (w^j, w^(j+1)) come from two interleaved chains
// per angle, each stepping two indices in one fused multiply-add per part,
//   C_(j+4) = C_j + 2 sin(2 phi) i C_(j+2),
// restarted from cos/sin at every 64th index, so no chain runs more than 32
// steps. A back pair takes its partners' twiddles, w^(j+2) from C_(j+2) and
// w^(j+1) from C_j, through the mirror relations:
//   plain: w^(Q-k) = i conj(w^k) = (s, c), w^(3(Q-k)) = -i conj(w^(3k)) = (-s, -c);
//   odd:   v^(Q-k) = zeta conj(v^k),       v^(3(Q-k)) = zeta^3 conj(v^(3k)).
// A stage on M values calls cos and sin max(1, M/512) times each.
template <bool Odd>
inline tw2 back1(tw2 w) { return Odd ? zeta_conj(w) : flip(w); }
template <bool Odd>
inline tw2 back3(tw2 w) { return Odd ? zeta3_conj(w) : neg(flip(w)); }

// The back pair's twiddles: join(C_(j+2), C_j), or in the plain stages where
// the lowering prefers it (kBackChains) a chain of their own, following the
// same recurrence. (In the odd stages the blend measured cheaper everywhere.)
template <bool Odd>
inline tw2 back_of(tw2 cur, tw2 next, tw2 chain) { return kBackChains && !Odd ? chain : join(next, cur); }

// A stage's looping walk restarts its chains every 64 front pairs; these
// runs are independent, so a stage can be walked in pieces: runs
// [first_run, stop_run) of its stage_runs(n).
inline int64_t stage_runs(int32_t n) {
  return n > kStraightStageMax ? static_cast<int64_t>((static_cast<size_t>(n) / 16 - 2) / 64 + 1) : 1;
}

template <bool Odd, class At>
inline void loop_stage(int32_t n, double* z, At at, int64_t first_run, int64_t stop_run) {
  const size_t q = static_cast<size_t>(n) / 8, last = q / 2 - 2, s = 2 * q;
  const int64_t runs = stage_runs(n);
  const size_t first = static_cast<size_t>(first_run) * 64;
  const size_t stop = static_cast<size_t>(stop_run < runs ? stop_run : runs) * 64;
  const double theta = stage_angle<Odd>(n);
  const cpx w = {std::cos(theta), std::sin(theta)};
  const cpx w2 = mul(w, w), w3 = mul(w2, w), w4 = mul(w2, w2);
  const double t1 = 2.0 * w2.im, t3 = 2.0 * triple(w2).im;  // 2 sin(2 theta), 2 sin(6 theta)
  // The front pair at f with twiddles (c1, c3) and its back pair at b with
  // the mirrors of (b1, b3).
  const auto pair = [&](double* f, double* b, tw2 c1, tw2 c3, tw2 b1, tw2 b3) MORLANT_FFT_INLINE_LAMBDA {
    at(f, s, c1, c3);
    at(b, s, back1<Odd>(b1), back3<Odd>(b3));
  };
  for (size_t start = first; start < stop && start <= last; start += 64) {
    cpx r[5] = {{1.0, 0.0}};  // w^(start + k)
    if (start > 0) r[0] = {std::cos(theta * static_cast<double>(start)), std::sin(theta * static_cast<double>(start))};
    r[1] = mul(r[0], w), r[2] = mul(r[0], w2), r[3] = mul(r[0], w3), r[4] = mul(r[0], w4);
    cpx r3[5];
    for (int k = 0; k < 5; ++k) r3[k] = triple(r[k]);
    // Front chains C_j, C_(j+2) and back chains B_j, B_(j+2), per angle.
    tw2 c1 = make_tw(r[0], r[1]), n1 = make_tw(r[2], r[3]), e1 = make_tw(r[2], r[1]), m1 = make_tw(r[4], r[3]);
    tw2 c3 = make_tw(r3[0], r3[1]), n3 = make_tw(r3[2], r3[3]), e3 = make_tw(r3[2], r3[1]), m3 = make_tw(r3[4], r3[3]);
    const size_t end = start + 62 < last ? start + 62 : last;
    // Two pairs a turn, each chain's two vectors taking turns as the newer.
    size_t j = start;
    double* f = z + 2 * j;            // front pair j
    double* b = z + 2 * (q - j - 2);  // back pair q - j - 2
    for (; j + 2 <= end; j += 4, f += 8, b -= 8) {
      pair(f, b, c1, c3, back_of<Odd>(c1, n1, e1), back_of<Odd>(c3, n3, e3));
      c1 = step(c1, n1, t1);
      c3 = step(c3, n3, t3);
      if (kBackChains && !Odd) {
        e1 = step(e1, m1, t1);
        e3 = step(e3, m3, t3);
      }
      pair(f + 4, b - 4, n1, n3, back_of<Odd>(n1, c1, m1), back_of<Odd>(n3, c3, m3));
      n1 = step(n1, c1, t1);
      n3 = step(n3, c3, t3);
      if (kBackChains && !Odd) {
        m1 = step(m1, e1, t1);
        m3 = step(m3, e3, t3);
      }
    }
    if (j <= end) pair(f, b, c1, c3, back_of<Odd>(c1, n1, e1), back_of<Odd>(c3, n3, e3));
  }
}

template <bool Odd, long M, class At, long... P>
MORLANT_FFT_INLINE void straight_stage(double* z, At& at, std::integer_sequence<long, P...>) {
  (at(z + 4 * P, size_t{M / 2}, stage_w1<Odd, M, P>(), stage_w3<Odd, M, P>()), ...);
}

// Calls at(p, s, w1, w3) for every vector p of a stage on n >= 64 doubles
// (s: doubles between quarters) with the forward stage's twiddles there, or
// for those of runs [first_run, stop_run) (a straight-line stage is one run).
// A function of its own, like the register blocks below: inlined into the
// recursion, the registers it needs would be saved and restored on every
// call of the recursion, down to the smallest blocks.
template <bool Odd, class At>
__attribute__((noinline)) void walk_stage(int32_t n, double* z, At at, int64_t first_run = 0,
                                          int64_t stop_run = INT64_MAX) {
  if (n > kStraightStageMax) return loop_stage<Odd>(n, z, at, first_run, stop_run);
  if (first_run != 0) return;
  switch (n) {
    case 64: return straight_stage<Odd, 32>(z, at, seq<4>());
    case 128: return straight_stage<Odd, 64>(z, at, seq<8>());
    case 256: return straight_stage<Odd, 128>(z, at, seq<16>());
    default: return straight_stage<Odd, 256>(z, at, seq<32>());
  }
}

// ---- Butterflies ----

// Radix-4 butterflies on registers a = z[j], b = z[j+Q], c = z[j+2Q],
// d = z[j+3Q]. Plain: (a+c)+(b+d), (a+c)-(b+d), ((a-c)+i(b-d)) w1,
// ((a-c)-i(b-d)) w3. Odd: with u = a + ic, u' = a - ic, t = zeta(b + id),
// t' = zeta^3(b - id): (u+t) v1, (u-t) v1, (u'+t') v3, (u'-t') v3.
template <class W>
MORLANT_FFT_INLINE void bfly_plain(cv2& a, cv2& b, cv2& c, cv2& d, W w1, W w3) {
  const cv2 s0 = a + c, d0 = a - c;
  const cv2 s1 = b + d, d1 = b - d;
  a = s0 + s1;
  b = s0 - s1;
  c = cmul(add_i(d0, d1), w1);
  d = cmul(sub_i(d0, d1), w3);
}
template <class W>
MORLANT_FFT_INLINE void bfly_odd(cv2& a, cv2& b, cv2& c, cv2& d, W v1, W v3) {
  const cv2 u = add_i(a, c), u2 = sub_i(a, c);
  const cv2 t = mul_zeta(add_i(b, d)), t2 = mul_zeta3(sub_i(b, d));
  a = cmul(u + t, v1);
  b = cmul(u - t, v1);
  c = cmul(u2 + t2, v3);
  d = cmul(u2 - t2, v3);
}
template <bool Odd, class W>
MORLANT_FFT_INLINE void bfly(cv2& a, cv2& b, cv2& c, cv2& d, W w1, W w3) {
  if (Odd) bfly_odd(a, b, c, d, w1, w3);
  else bfly_plain(a, b, c, d, w1, w3);
}

// Their adjoints, the twiddles undone first (conj(w1), conj(w3) on the
// outputs they multiplied). Plain, with u0 = p0 + p1, u1 = p0 - p1,
// v = i (p2 - p3): u0 + v0, u1 - v, u0 - v0, u1 + v. Odd, with U = p0 + p1,
// U' = p2 + p3, e = conj(zeta) (p0 - p1) = zeta^3 (p1 - p0) and f =
// conj(zeta^3) (p2 - p3) = zeta (p3 - p2): U + U', e + f, i (U' - U), i (f - e).
template <bool Odd, class W>
MORLANT_FFT_INLINE void bfly_adjoint(cv2& a, cv2& b, cv2& c, cv2& d, W w1, W w3) {
  if (Odd) {
    a = cmulc(a, w1);
    b = cmulc(b, w1);
    c = cmulc(c, w3);
    d = cmulc(d, w3);
    const cv2 u = a + b, u2 = c + d;
    const cv2 e = mul_zeta3(b - a), f = mul_zeta(d - c);
    a = u + u2;
    b = e + f;
    c = mul_i(u2 - u);
    d = mul_i(f - e);
  } else {
    c = cmulc(c, w1);
    d = cmulc(d, w3);
    const cv2 u0 = a + b, u1 = a - b, v0 = c + d, v = mul_i(c - d);
    a = u0 + v0;
    b = u1 - v;
    c = u0 - v0;
    d = u1 + v;
  }
}

// The butterflies of a stage at the vector p (two values) of a block whose
// quarters are s doubles apart, in memory: forward (Conj: on the conjugated
// block), adjoint, and the half stage (below).
template <bool Odd, bool Conj>
struct ForwardAt {
  template <class W>
  MORLANT_FFT_INLINE void operator()(double* p, size_t s, W w1, W w3) const {
    if (!Odd) {
      // The first two outputs are sums alone: taken on the values as they
      // lie in memory, only the two that meet twiddles are split.
      // Conjugating commutes with the sums, so it comes last (first on the
      // split ones).
      const cm2 a = load_mem(p), b = load_mem(p + s), c = load_mem(p + 2 * s), d = load_mem(p + 3 * s);
      const cm2 s0 = a + c, s1 = b + d;
      store_mem(p, Conj ? conj_mem(s0 + s1) : s0 + s1);
      store_mem(p + s, Conj ? conj_mem(s0 - s1) : s0 - s1);
      cv2 d0 = split(a - c), e = split(b - d);
      if (Conj) {
        d0 = conj(d0);
        e = conj(e);
      }
      store(p + 2 * s, cmul(add_i(d0, e), w1));
      store(p + 3 * s, cmul(sub_i(d0, e), w3));
      return;
    }
    cv2 a = load(p), b = load(p + s), c = load(p + 2 * s), d = load(p + 3 * s);
    bfly_odd(a, b, c, d, w1, w3);
    store(p, a);
    store(p + s, b);
    store(p + 2 * s, c);
    store(p + 3 * s, d);
  }
};

template <bool Odd>
struct AdjointAt {
  template <class W>
  MORLANT_FFT_INLINE void operator()(double* p, size_t s, W w1, W w3) const {
    cv2 a = load(p), b = load(p + s), c = load(p + 2 * s), d = load(p + 3 * s);
    bfly_adjoint<Odd>(a, b, c, d, w1, w3);
    store(p, a);
    store(p + s, b);
    store(p + 2 * s, c);
    store(p + 3 * s, d);
  }
};

// The plain forward stage with c = d = 0: a + b, a - b, (a + ib) w1,
// (a - ib) w3. The one value of the upper half it leaves out is added by
// forward_scrambled_half.
struct HalfAt {
  template <class W>
  MORLANT_FFT_INLINE void operator()(double* p, size_t s, W w1, W w3) const {
    const cv2 a = load(p), b = load(p + s), ib = mul_i(b);
    store(p, a + b);
    store(p + s, a - b);
    store(p + 2 * s, cmul(a + ib, w1));
    store(p + 3 * s, cmul(a - ib, w3));
  }
};

// ---- Blocks of 4 ... kRegsBlockMax doubles in registers ----

// The stage of a block of M >= 8 values held in x[0 ... M/2 - 1]: the
// butterflies of front pair P on the vectors P, v + P, 2v + P, 3v + P.
template <bool Odd, long M, long... P>
MORLANT_FFT_INLINE void stage_regs(cv2* x, std::integer_sequence<long, P...>) {
  constexpr long v = M / 8;  // vectors per quarter
  (bfly<Odd>(x[P], x[v + P], x[2 * v + P], x[3 * v + P], stage_w1<Odd, M, P>(), stage_w3<Odd, M, P>()), ...);
}
template <bool Odd, long M, long... P>
MORLANT_FFT_INLINE void stage_regs_adjoint(cv2* x, std::integer_sequence<long, P...>) {
  constexpr long v = M / 8;
  (bfly_adjoint<Odd>(x[P], x[v + P], x[2 * v + P], x[3 * v + P], stage_w1<Odd, M, P>(), stage_w3<Odd, M, P>()),
   ...);
}

// Adjoints of the folds (fft_vec.h): (y0 + y1, m (y0 - y1)) for the fold
// (x0 + m' x1, x0 - m' x1) with m' = 1, i, zeta, zeta^3 and m = conj(m').
MORLANT_FFT_INLINE cv2 load_fold(const double* p) { return fold(load(p)); }
MORLANT_FFT_INLINE cv2 load_fold_i(const double* p) {
  const cv2 f = fold(load(p));
  return join(f, neg(mul_i(f)));
}
MORLANT_FFT_INLINE cv2 load_fold_zeta(const double* p) {
  const cv2 f = fold(load(p));
  return join(f, neg(mul_zeta3(f)));
}
MORLANT_FFT_INLINE cv2 load_fold_zeta3(const double* p) {
  const cv2 f = fold(load(p));
  return join(f, neg(mul_zeta(f)));
}

// The transform of a block of M values held in x[0 ... M/2 - 1], stored at
// z. Two values: plain (p + q, p - q), odd (p + iq, p - iq). Four values
// (a, b), (c, d): a stage with Q = 1, its quarters single values.
template <bool Odd, long M>
MORLANT_FFT_INLINE void regs_forward(double* z, cv2* x) {
  if constexpr (M == 2) {
    if (Odd) store_fold_i(z, x[0]);
    else store_fold(z, x[0]);
  } else if constexpr (M == 4) {
    if (Odd) {
      store_fold_zeta(z, add_i(x[0], x[1]));      // (a + ic, b + id)
      store_fold_zeta3(z + 4, sub_i(x[0], x[1]));  // (a - ic, b - id)
    } else {
      store_fold(z, x[0] + x[1]);        // (a + c, b + d)
      store_fold_i(z + 4, x[0] - x[1]);  // (a - c, b - d)
    }
  } else {
    stage_regs<Odd, M>(x, seq<M / 8>());
    for_quarters<Odd>([&](auto odd, long k) MORLANT_FFT_INLINE_LAMBDA {
      regs_forward<decltype(odd)::value, M / 4>(z + k * (M / 2), x + k * (M / 8));
    });
  }
}

// Its adjoint: the block at z into x[0 ... M/2 - 1].
template <bool Odd, long M>
MORLANT_FFT_INLINE void regs_adjoint(const double* z, cv2* x) {
  if constexpr (M == 2) {
    x[0] = Odd ? load_fold_i(z) : load_fold(z);
  } else if constexpr (M == 4) {
    const cv2 g = Odd ? load_fold_zeta(z) : load_fold(z), h = Odd ? load_fold_zeta3(z + 4) : load_fold_i(z + 4);
    x[0] = g + h;
    x[1] = Odd ? mul_i(h - g) : g - h;
  } else {
    for_quarters<Odd>([&](auto odd, long k) MORLANT_FFT_INLINE_LAMBDA {
      regs_adjoint<decltype(odd)::value, M / 4>(z + k * (M / 2), x + k * (M / 8));
    });
    stage_regs_adjoint<Odd, M>(x, seq<M / 8>());
  }
}

// The block of M values at z through registers (the loads and stores
// written out: a loop would keep x in memory), a function of its own.
template <bool Adjoint, bool Odd, long M, long... I>
__attribute__((noinline)) void regs_block(double* z, std::integer_sequence<long, I...>) {
  cv2 x[M / 2];
  if (Adjoint) {
    regs_adjoint<Odd, M>(z, x);
    (store(z + 4 * I, x[I]), ...);
  } else {
    ((x[I] = load(z + 4 * I)), ...);
    regs_forward<Odd, M>(z, x);
  }
}

// ---- The recursion ----

template <bool Adjoint, bool Odd>
void block(int32_t n, double* z);

// The whole plain or odd transform of a block of n >= 2 doubles, bit-reversed
// out, or (Adjoint) its adjoint, bit-reversed in: up to kRegsBlockMax
// doubles in registers, called straight from the parent block, beyond that
// by the recursion.
template <bool Adjoint, bool Odd>
MORLANT_FFT_INLINE void any_block(int32_t n, double* z) {
  switch (n) {
    case 2: return;
    case 4: return regs_block<Adjoint, Odd, 2>(z, seq<1>());
    case 8: return regs_block<Adjoint, Odd, 4>(z, seq<2>());
    case 16: return regs_block<Adjoint, Odd, 8>(z, seq<4>());
    case 32: return regs_block<Adjoint, Odd, 16>(z, seq<8>());
    case 64:
      if constexpr (kRegsBlockMax >= 64) return regs_block<Adjoint, Odd, 32>(z, seq<16>());
  }
  block<Adjoint, Odd>(n, z);
}

// The four quarters of a block of n >= 16 doubles, each transformed whole.
template <bool Adjoint, bool Odd>
void quarters(int32_t n, double* z) {
  const int32_t q = n / 4;
  for_quarters<Odd>([&](auto odd, long k) MORLANT_FFT_INLINE_LAMBDA {
    any_block<Adjoint, decltype(odd)::value>(q, z + k * q);
  });
}

// A block of n > kRegsBlockMax doubles: its stage, then its quarters, or
// (Adjoint) the other way round.
template <bool Adjoint, bool Odd>
void block(int32_t n, double* z) {
  if (Adjoint) {
    quarters<true, Odd>(n, z);
    walk_stage<Odd>(n, z, AdjointAt<Odd>());
  } else {
    walk_stage<Odd>(n, z, ForwardAt<Odd, false>());
    quarters<false, Odd>(n, z);
  }
}

// ---- One transform shared by a team ----
//
// The recursion's top `levels` levels are walked level by level: at level d
// the stages of its 4^d blocks (n/4^d doubles each) are walked in pieces of
// a few runs (walk_stage), and a team_sync closes the level; the 4^levels
// blocks below are then handed out whole. Members take both on demand
// (team_each). The adjoint runs the other way round. Every butterfly is the
// one-thread recursion's, with the same twiddles, so the result is the same
// to the bit for any team.

// Blocks handed out whole have at least this many doubles.
constexpr int32_t kTeamMinBlock = 1 << 10;

inline bool on_team(int32_t n, Team* team) { return team_size(team_for_length(team, n)) > 1; }

// The levels walked in pieces for `parts` members: the fewest (at least
// one) with at least two blocks per member, unless that would take the
// blocks below kTeamMinBlock doubles. Every level more is one more pass over
// the whole array by all members, where a block's own stages run in its
// member's cache; with blocks handed out on demand, two per member already
// balance (an odd block costs about 7 % more than a plain one).
inline int team_levels(int32_t n, int32_t parts) {
  int levels = 1;
  while ((int64_t{1} << (2 * levels)) < 2 * int64_t{parts} && (n >> (2 * levels + 2)) >= kTeamMinBlock) ++levels;
  return levels;
}

// Whether block i, in address order, of the 4^levels blocks below a plain
// root is odd (for_quarters' kinds, level by level).
inline bool block_is_odd(int levels, int64_t i) {
  bool odd = false;
  for (int d = levels - 1; d >= 0; --d) odd = quarter_is_odd(odd, static_cast<long>((i >> (2 * d)) & 3));
  return odd;
}

template <bool Adjoint, bool Odd>
using StageAt = std::conditional_t<Adjoint, AdjointAt<Odd>, ForwardAt<Odd, false>>;

// Runs of a stage per piece of a shared stage walk.
constexpr int64_t kRunsPerPiece = 8;

// The stages of level d >= 0 of a plain root of n doubles, in pieces of
// kRunsPerPiece runs of one block's stage handed out on the team; at_of(odd)
// gives the butterflies of a block of that kind (a std::bool_constant).
template <class AtOf>
void shared_stages(int32_t n, double* z, int d, Team* team, AtOf at_of) {
  const int32_t m = n >> (2 * d);
  const int64_t runs = stage_runs(m), per_block = (runs + kRunsPerPiece - 1) / kRunsPerPiece;
  team_each(team, per_block << (2 * d), [&](int64_t piece) {
    const int64_t i = piece / per_block, first = piece % per_block * kRunsPerPiece;
    double* b = z + i * m;
    if (block_is_odd(d, i)) walk_stage<true>(m, b, at_of(std::true_type()), first, first + kRunsPerPiece);
    else walk_stage<false>(m, b, at_of(std::false_type()), first, first + kRunsPerPiece);
  });
}

template <bool Adjoint>
struct StageOf {
  template <class Odd>
  StageAt<Adjoint, Odd::value> operator()(Odd) const { return {}; }
};

// The blocks below the top `levels` levels, each transformed whole, handed
// out on the team.
template <bool Adjoint>
void shared_blocks(int32_t n, double* z, int levels, Team* team) {
  const int32_t m = n >> (2 * levels);
  team_each(team, int64_t{1} << (2 * levels), [&](int64_t i) {
    if (block_is_odd(levels, i)) any_block<Adjoint, true>(m, z + i * m);
    else any_block<Adjoint, false>(m, z + i * m);
  });
}

// ---- Bit reversal ----

// Advances a bit-reversed counter whose top bit is `top`: flip bits from the
// top down until one turns from 0 to 1.
inline size_t rev_increment(size_t r, size_t top) {
  for (size_t m = top; m != 0; m >>= 1) {
    r ^= m;
    if (r & m) break;
  }
  return r;
}

// Calls swap(x, y) once for every pair x != y = rev(x) of indices of
// bits >= 1 bits and fixed(x) for every x = rev(x), each index once. An
// index is a high field of c bits, a middle of 1 (odd bits) or 2 bits and a
// low field of c bits. With a = rev k and r = rev l in the high field, the
// pairs are (a, m, l) <-> (r, rev m, k) for l < k and every middle m, and
// for l = k the middle exchange (a, 01, k) <-> (a, 10, k). The low values go
// in Tile x Tile tiles of (k, l), so that a tile touches Tile consecutive
// values in each of Tile rows on both sides; an off-diagonal tile goes whole
// to tile(ra, ca, rb, cb), which exchanges value ra[t] + ca + u with
// rb[u] + cb + t for t, u < Tile.
template <size_t Tile, class Swap, class Fixed, class SwapTile>
inline void bitrev_pairs(int bits, Swap swap, Fixed fixed, SwapTile tile_swap) {
  const bool odd = (bits & 1) != 0;
  const int c = odd ? (bits - 1) / 2 : (bits - 2) / 2;
  const size_t count = size_t{1} << c, top = size_t{1} << (bits - 1);
  const size_t m1 = size_t{1} << c, m2 = m1 << 1;
  // f(m, rev m) for every middle m
  const auto middles = [&](auto f) MORLANT_FFT_INLINE_LAMBDA {
    f(0, 0);
    if (odd) {
      f(m1, m1);
    } else {
      f(m1, m2);
      f(m2, m1);
      f(m1 | m2, m1 | m2);
    }
  };
  // Within a tile (aligned, `tile` a power of two) rev(kb + t) = rev(kb) |
  // spread[t], t's bits reversed into the top of the high field; from tile
  // to tile the reversed counter steps below those bits.
  const size_t tile = count < Tile ? count : Tile;
  size_t spread[Tile] = {0}, step_top = top;
  for (size_t t = 1; t < tile; t *= 2, step_top >>= 1)
    for (size_t u = 0; u < t; ++u) spread[t + u] = spread[u] | step_top;
  size_t ra[Tile] = {}, rb[Tile] = {};
  size_t a = 0;
  for (size_t kb = 0; kb < count; kb += tile, a = rev_increment(a, step_top)) {
    for (size_t t = 0; t < tile; ++t) ra[t] = a | spread[t];
    size_t r = 0;
    for (size_t lb = 0; lb < kb; lb += tile, r = rev_increment(r, step_top)) {
      for (size_t t = 0; t < tile; ++t) rb[t] = r | spread[t];
      middles([&](size_t m, size_t rm) MORLANT_FFT_INLINE_LAMBDA { tile_swap(ra, m | lb, rb, rm | kb); });
    }
    for (size_t t = 0; t < tile; ++t) {
      const size_t k = kb + t, at = ra[t];
      for (size_t u = 0; u < t; ++u)
        middles([&](size_t m, size_t rm) MORLANT_FFT_INLINE_LAMBDA { swap(at | m | (kb + u), ra[u] | rm | k); });
      fixed(at | k);
      if (odd) {
        fixed(at | m1 | k);
      } else {
        swap(at | m1 | k, at | m2 | k);
        fixed(at | m1 | m2 | k);
      }
    }
  }
}

// Below kTileBitrevMax doubles the values move as 2 x 2 tiles: over b bits,
// value (h, m, l) with h and l single bits goes to (l, rev m, h), so the
// tile {2m, 2m+1} and {N/2 + 2m, N/2 + 2m + 1} (two vectors) lands
// transposed on tile rev m. Beyond it (64 KiB) value by value in 4 x 4 tiles
// of (k, l), which keep fewer cache lines in flight (at 16384 doubles 3.3 us
// against 4.2 us, at 65536 12.8 against 18; at 4096 0.8 against 0.56).
constexpr int32_t kTileBitrevMax = 8192;

template <bool Conj>
inline cm2 moved(cm2 x) { return Conj ? conj_mem(x) : x; }

// One complex value, moved whole; conjugated by one exact multiplication.
typedef double value2 __attribute__((vector_size(16)));
inline value2 get(const double* z, size_t x) {
  value2 v;
  std::memcpy(&v, z + 2 * x, sizeof v);
  return v;
}
template <bool Conj>
inline void put(double* z, size_t x, value2 v) {
  const value2 flip = {1.0, -1.0};
  if (Conj) v *= flip;
  std::memcpy(z + 2 * x, &v, sizeof v);
}

// Every value of n doubles conjugated, for the shortest transforms.
void conj_all(int32_t n, double* z) {
  for (int32_t i = 1; i < n; i += 2) z[i] = -z[i];
}

// The permutation of N = n/2 values, each conjugated once when Conj.
template <bool Conj>
void bitrev(int32_t n, double* z) {
  int b = 0;
  while ((int32_t{2} << b) < n) ++b;
  if (b < 2) {
    if (Conj) conj_all(n, z);  // one or two values: their own bit reversal
    return;
  }
  if (n <= kTileBitrevMax) {
    double* const hi = z + n / 2;
    const auto fixed = [&](size_t x) {
      const cm2 x0 = load_mem(z + 4 * x), x1 = load_mem(hi + 4 * x);
      store_mem(z + 4 * x, moved<Conj>(zip0(x0, x1)));
      store_mem(hi + 4 * x, moved<Conj>(zip1(x0, x1)));
    };
    const auto swap = [&](size_t x, size_t y) {
      const cm2 x0 = load_mem(z + 4 * x), x1 = load_mem(hi + 4 * x);
      const cm2 y0 = load_mem(z + 4 * y), y1 = load_mem(hi + 4 * y);
      store_mem(z + 4 * y, moved<Conj>(zip0(x0, x1)));
      store_mem(hi + 4 * y, moved<Conj>(zip1(x0, x1)));
      store_mem(z + 4 * x, moved<Conj>(zip0(y0, y1)));
      store_mem(hi + 4 * x, moved<Conj>(zip1(y0, y1)));
    };
    if (b == 2) return fixed(0);
    return bitrev_pairs<2>(b - 2, swap, fixed, [&](const size_t* ra, size_t ca, const size_t* rb, size_t cb) {
      for (size_t t = 0; t < 2; ++t)
        for (size_t u = 0; u < 2; ++u) swap(ra[t] + ca + u, rb[u] + cb + t);
    });
  }
  bitrev_pairs<4>(
      b,
      [&](size_t x, size_t y) {
        const value2 a = get(z, x), c = get(z, y);
        put<Conj>(z, x, c);
        put<Conj>(z, y, a);
      },
      [&](size_t x) { put<Conj>(z, x, get(z, x)); },
      // Half the tile at a time, so that its 16 values stay in registers;
      // each row's address once, its values at constant offsets.
      [&](const size_t* ra, size_t ca, const size_t* rb, size_t cb) {
        for (size_t t = 0; t < 4; t += 2) {
          double* pa[2] = {z + 2 * (ra[t] + ca), z + 2 * (ra[t + 1] + ca)};
          double* pb[4] = {z + 2 * (rb[0] + cb + t), z + 2 * (rb[1] + cb + t), z + 2 * (rb[2] + cb + t),
                           z + 2 * (rb[3] + cb + t)};
          value2 a[2][4], c[4][2];
          for (size_t i = 0; i < 2; ++i)
            for (size_t u = 0; u < 4; ++u) a[i][u] = get(pa[i], u);
          for (size_t u = 0; u < 4; ++u)
            for (size_t i = 0; i < 2; ++i) c[u][i] = get(pb[u], i);
          for (size_t i = 0; i < 2; ++i)
            for (size_t u = 0; u < 4; ++u) put<Conj>(pa[i], u, c[u][i]);
          for (size_t u = 0; u < 4; ++u)
            for (size_t i = 0; i < 2; ++i) put<Conj>(pb[u], i, a[i][u]);
        }
      });
}

// ---- The transforms of the path (fft.h) ----

void forward(int32_t n, double* z) {
  any_block<false, false>(n, z);
  bitrev<false>(n, z);
}

// conj(forward(conj x)): the top stage reads conjugates (below 64 doubles a
// pass does) and the permutation conjugates.
void inverse(int32_t n, double* z) {
  if (n >= 64) {
    walk_stage<false>(n, z, ForwardAt<false, true>());
    quarters<false, false>(n, z);
  } else {
    conj_all(n, z);
    any_block<false, false>(n, z);
  }
  bitrev<true>(n, z);
}

void forward_scrambled(int32_t n, double* z) { any_block<false, false>(n, z); }

// The top stage reads the lower half and value n/4, the one non-zero value of
// the upper half, read first: with c = r its butterfly at index 0 is the
// half stage's plus (r, r, -r, -r) on the four real parts. On a team, part 0
// adds them between two syncs, whoever walked index 0.
void forward_scrambled_half(int32_t n, double* z, Team* team) {
  if (n < 64) {
    for (int32_t i = n / 2 + 1; i < n; ++i) z[i] = 0.0;
    return any_block<false, false>(n, z);
  }
  const size_t q = static_cast<size_t>(n) / 8;
  const double r = z[4 * q];
  const auto add_upper_value = [&] {
    z[0] += r;
    z[2 * q] += r;
    z[4 * q] -= r;
    z[6 * q] -= r;
  };
  if (!on_team(n, team)) {
    walk_stage<false>(n, z, HalfAt());
    add_upper_value();
    return quarters<false, false>(n, z);
  }
  const int levels = team_levels(n, team_size(team));
  team_for(team, [&](int32_t part, int32_t) {
    shared_stages(n, z, 0, team, [](auto) { return HalfAt(); });
    team_sync(team);
    if (part == 0) add_upper_value();
    for (int d = 1; d < levels; ++d) {
      team_sync(team);
      shared_stages(n, z, d, team, StageOf<false>());
    }
    team_sync(team);
    shared_blocks<false>(n, z, levels, team);
  });
}

void inverse_scrambled(int32_t n, double* z, Team* team) {
  if (!on_team(n, team)) return any_block<true, false>(n, z);
  const int levels = team_levels(n, team_size(team));
  team_for(team, [&](int32_t, int32_t) {
    shared_blocks<true>(n, z, levels, team);
    for (int d = levels - 1; d >= 0; --d) {
      team_sync(team);
      shared_stages(n, z, d, team, StageOf<true>());
    }
  });
}

constexpr FftPath kPath = {forward, inverse, forward_scrambled, forward_scrambled_half, inverse_scrambled};

}  // namespace
}  // namespace fftv

#endif  // MORLANT_FFT_FFT_IMPL_H
