// The complex FFT against naive long-double references: whole transforms,
// leaves, the bit-reversal permutation, and every vectorised form.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "fft/fft.h"
#include "fft/fft_leaf.h"
#include "fft/fft_simd.h"
#include "tests/fft/fft_test_data.h"

namespace {

using cld = std::complex<long double>;
using Vec = std::vector<double>;
const long double kPi = 3.141592653589793238462643383279502884L;
// Largest error relative to the largest output: about 8 ulp, room for the
// other rounding orders of fused multiply-adds (clang on ARM64 reached 2.0e-15).
constexpr double kBound = 3e-15;

// Under an emulator long double is slow software arithmetic: the O(M^2)
// reference stops at a shorter length.
#ifdef MORLANT_TESTS_EMULATED
constexpr int32_t kDirectLimit = 1024;
#else
constexpr int32_t kDirectLimit = 4096;
#endif

std::vector<cld> to_complex(const Vec& x) {
  std::vector<cld> z(x.size() / 2);
  for (std::size_t k = 0; k < z.size(); ++k) z[k] = cld(x[2 * k], x[2 * k + 1]);
  return z;
}

std::size_t bitrev(std::size_t k, int bits) {
  std::size_t r = 0;
  for (int i = 0; i < bits; ++i) r |= ((k >> i) & 1u) << (bits - 1 - i);
  return r;
}

int log2_exact(std::size_t m) {
  int b = 0;
  while ((std::size_t{1} << b) < m) ++b;
  return b;
}

// X[k] = sum_j z[j] exp(sign 2 pi i j (k + offset) / M), offset 0 or 1/2,
// with j (2k + 2 offset) reduced exactly modulo 2M before the table lookup.
std::vector<cld> dft(const std::vector<cld>& z, int sign, bool half_offset = false) {
  const std::size_t m = z.size();
  std::vector<cld> root(2 * m), out(m);
  for (std::size_t u = 0; u < 2 * m; ++u) {
    const long double ang = sign * kPi * static_cast<long double>(u) / static_cast<long double>(m);
    root[u] = cld(std::cos(ang), std::sin(ang));
  }
  for (std::size_t k = 0; k < m; ++k) {
    const std::size_t step = 2 * k + (half_offset ? 1 : 0);
    for (std::size_t j = 0, u = 0; j < m; ++j, u = (u + step) % (2 * m)) out[k] += z[j] * root[u];
  }
  return out;
}

// Iterative radix-2 transform in long double, exp(sign 2 pi i jk/M).
std::vector<cld> fft_radix2(std::vector<cld> z, int sign) {
  const std::size_t m = z.size();
  const int bits = log2_exact(m);
  for (std::size_t k = 0; k < m; ++k)
    if (k < bitrev(k, bits)) std::swap(z[k], z[bitrev(k, bits)]);
  for (std::size_t len = 2; len <= m; len *= 2) {
    for (std::size_t j = 0; j < len / 2; ++j) {
      const long double ang = sign * 2 * kPi * static_cast<long double>(j) / static_cast<long double>(len);
      const cld w(std::cos(ang), std::sin(ang));
      for (std::size_t s = 0; s < m; s += len) {
        const cld u = z[s + j], v = z[s + j + len / 2] * w;
        z[s + j] = u + v;
        z[s + j + len / 2] = u - v;
      }
    }
  }
  return z;
}

// Largest |got - want| relative to the largest |want|.
long double relative_error(const Vec& got, const std::vector<cld>& want) {
  long double err = 0, mag = 0;
  for (std::size_t k = 0; k < want.size(); ++k) {
    err = std::max(err, std::abs(cld(got[2 * k], got[2 * k + 1]) - want[k]));
    mag = std::max(mag, std::abs(want[k]));
  }
  return mag > 0 ? err / mag : err;
}

// The transforms under test: the dispatching entry point (the vector path
// when the processor has it) and the portable path alone.
using Transform = void (*)(int32_t, int32_t, double*);
const struct {
  const char* name;
  Transform run;
} kPaths[] = {{"fft_complex_transform", fft_complex_transform},
              {"portable", [](int32_t n, int32_t sign, double* x) {
                 if (sign < 0) fft_inverse_portable(n, x);
                 else fft_forward_portable(n, x);
               }}};

TEST(FftTransform, MatchesTheDirectDftForEveryShortLengthBothSigns) {
  unsigned seed = 1;
  for (int32_t n = 2; n <= kDirectLimit; n *= 2) {
    for (int32_t sign : {0, 1, INT32_MAX, -1, INT32_MIN}) {  // any sign >= 0 is forward
      const Vec x = random_values(static_cast<std::size_t>(n), seed++);
      const auto want = dft(to_complex(x), sign < 0 ? -1 : +1);
      for (const auto& path : kPaths) {
        Vec y = x;
        path.run(n, sign, y.data());
        EXPECT_LT(relative_error(y, want), kBound) << path.name << " n=" << n << " sign=" << sign;
      }
    }
  }
}

TEST(FftTransform, MatchesTheRadix2ReferenceUpTo65536) {
  for (int32_t n = 2 * kDirectLimit; n <= 65536; n *= 2) {
    for (int32_t sign : {1, -1}) {
      const Vec x = random_values(static_cast<std::size_t>(n), static_cast<unsigned>(n + sign));
      const auto want = fft_radix2(to_complex(x), sign);
      for (const auto& path : kPaths) {
        Vec y = x;
        path.run(n, sign, y.data());
        EXPECT_LT(relative_error(y, want), kBound) << path.name << " n=" << n << " sign=" << sign;
      }
    }
  }
}

TEST(FftTransform, ForwardThenInverseMultipliesByN) {
  for (const auto& path : kPaths) {
    for (int32_t n = 2; n <= (1 << 18); n *= 2) {
      const Vec x0 = random_values(static_cast<std::size_t>(n), 99u);
      Vec x = x0;
      path.run(n, 1, x.data());
      path.run(n, -1, x.data());
      const double scale = n / 2.0;
      double err = 0;
      for (std::size_t i = 0; i < x.size(); ++i) err = std::max(err, std::abs(x[i] - scale * x0[i]));
      EXPECT_LT(err / scale, 1e-14) << path.name << " n=" << n;
    }
  }
}

// Leaves leave frequency bitrev(k') at position k'; odd ones evaluate at k + 1/2.
TEST(FftLeaf, EveryImpulseAndRandomDataMatchTheBitReversedTransform) {
  const struct {
    const char* name;
    void (*kernel)(double*);
    std::size_t values;
    bool odd;
  } leaves[] = {{"fft_leaf8", fft_leaf8, 8, false},
                {"fft_leaf16", fft_leaf16, 16, false},
                {"fft_odd_leaf8", fft_odd_leaf8, 8, true},
                {"fft_odd_leaf16", fft_odd_leaf16, 16, true}};
  for (const auto& leaf : leaves) {
    std::vector<Vec> inputs;
    for (std::size_t k = 0; k < 2 * leaf.values; ++k) {  // real and imaginary impulses
      inputs.emplace_back(2 * leaf.values, 0.0);
      inputs.back()[k] = 1.0;
    }
    for (unsigned seed = 1; seed <= 20; ++seed) inputs.push_back(random_values(2 * leaf.values, seed));
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      Vec x = inputs[i];
      const auto want = dft(to_complex(x), +1, leaf.odd);
      leaf.kernel(x.data());
      const double tolerance = 1e-15 * static_cast<double>(leaf.values);
      for (std::size_t p = 0; p < leaf.values; ++p) {
        const cld w = want[bitrev(p, log2_exact(leaf.values))];
        EXPECT_NEAR(x[2 * p], static_cast<double>(w.real()), tolerance) << leaf.name << " input " << i << " at " << p;
        EXPECT_NEAR(x[2 * p + 1], static_cast<double>(w.imag()), tolerance) << leaf.name << " input " << i << " at " << p;
      }
    }
  }
}

TEST(FftBitrev, PermutesEveryLengthAndMovesExactlyTheNonFixedValues) {
  const struct {
    const char* name;
    void (*run)(int32_t, bool, double*);
    int min_bits;
  } forms[] = {{"portable", [](int32_t n, bool conj, double* x) { (conj ? fft_bitrev_permute_conj : fft_bitrev_permute)(n, x); }, 0},
               {"vector", fft_bitrev_permute_vec, 3}};
  for (const auto& form : forms) {
    if (form.run == fft_bitrev_permute_vec && !fft_simd_available()) continue;
    for (int b = form.min_bits; b <= 20; ++b) {
      const std::size_t values = std::size_t{1} << b;
      for (bool conj : {false, true}) {
        Vec x(2 * values);  // value k starts as (k, k + 0.5): each says where it came from
        for (std::size_t k = 0; k < 2 * values; ++k) x[k] = static_cast<double>(k / 2) + (k % 2 ? 0.5 : 0.0);
        form.run(static_cast<int32_t>(2 * values), conj, x.data());
        std::size_t moved = 0, wrong = 0;
        for (std::size_t p = 0; p < values; ++p) {
          const std::size_t from = bitrev(p, b);
          const double im = static_cast<double>(from) + 0.5;
          wrong += x[2 * p] != static_cast<double>(from) || x[2 * p + 1] != (conj ? -im : im);
          moved += from != p;
        }
        EXPECT_EQ(wrong, 0u) << form.name << " b=" << b << " conj=" << conj;
        // (2^b - 2^ceil(b/2)) / 2 pairs are exchanged: 12 for 32 values, 28 for 64.
        EXPECT_EQ(moved / 2, (values - (std::size_t{1} << ((b + 1) / 2))) / 2) << "b=" << b;
      }
    }
  }
}

// One radix-4 stage in long double with exact twiddles: plain (on the
// conjugates when conj) or odd, the definitions of fft.h's stages.
std::vector<cld> exact_stage(const Vec& x, bool odd, bool conj) {
  auto z = to_complex(x);
  if (conj)
    for (cld& v : z) v = std::conj(v);
  const std::size_t m = z.size(), q = m / 4;
  const cld i(0, 1), zeta = std::polar(1.0L, kPi / 4);
  std::vector<cld> out(m);
  for (std::size_t j = 0; j < q; ++j) {
    const cld a = z[j], b = z[j + q], c = z[j + 2 * q], d = z[j + 3 * q];
    const long double ang = (odd ? 1 : 2) * kPi * static_cast<long double>(j) / static_cast<long double>(m);
    const cld w1 = std::polar(1.0L, ang), w3 = std::polar(1.0L, 3 * ang);
    if (odd) {
      const cld u = a + i * c, u2 = a - i * c, t = zeta * (b + i * d), t2 = zeta * zeta * zeta * (b - i * d);
      out[j] = (u + t) * w1, out[j + q] = (u - t) * w1, out[j + 2 * q] = (u2 + t2) * w3, out[j + 3 * q] = (u2 - t2) * w3;
    } else {
      out[j] = (a + c) + (b + d), out[j + q] = (a + c) - (b + d);
      out[j + 2 * q] = ((a - c) + i * (b - d)) * w1, out[j + 3 * q] = ((a - c) - i * (b - d)) * w3;
    }
  }
  return out;
}

// Both forms of every stage against the exact one (their twiddle plans
// differ, so they are not compared with each other), and the vectorised
// leaves against the portable ones, which differ only in fused rounding.
TEST(FftSimd, StagesAndLeavesMatchThePortableForms) {
  const bool vec = fft_simd_available();
  const struct {
    const char* name;
    void (*fast)(int32_t, double*), (*portable)(int32_t, double*);
    bool odd, conj;
  } stages[] = {{"plain", fft_radix4_stage_vec, fft_radix4_stage_portable, false, false},
                {"conjugating", fft_radix4_stage_conj_vec, fft_radix4_stage_conj_portable, false, true},
                {"odd", fft_odd_radix4_stage_vec, fft_odd_radix4_stage_portable, true, false}};
  for (int32_t n = 64; n <= 64 * kDirectLimit; n *= 2) {
    for (const auto& st : stages) {
      const Vec x = random_values(static_cast<std::size_t>(n), static_cast<unsigned>(n));
      const auto want = exact_stage(x, st.odd, st.conj);
      Vec y = x;
      st.portable(n, y.data());
      EXPECT_LT(relative_error(y, want), kBound) << st.name << " portable stage, n = " << n;
      if (!vec) continue;
      y = x;
      st.fast(n, y.data());
      EXPECT_LT(relative_error(y, want), kBound) << st.name << " vector stage, n = " << n;
    }
  }
  if (!vec) GTEST_SKIP() << "no vectorised forms on this processor or build";
  const auto difference = [](const Vec& got, const Vec& want) {
    double diff = 0, mag = 0;
    for (std::size_t i = 0; i < want.size(); ++i)
      diff = std::max(diff, std::fabs(got[i] - want[i])), mag = std::max(mag, std::fabs(want[i]));
    return diff / mag;
  };
  const struct {
    const char* name;
    void (*fast)(double*), (*portable)(double*);
    std::size_t doubles;
  } leaves[] = {{"leaf8", fft_leaf8_vec, fft_leaf8_portable, 16},
                {"leaf16", fft_leaf16_vec, fft_leaf16_portable, 32},
                {"odd leaf8", fft_odd_leaf8_vec, fft_odd_leaf8_portable, 16},
                {"odd leaf16", fft_odd_leaf16_vec, fft_odd_leaf16_portable, 32}};
  for (const auto& leaf : leaves) {
    for (unsigned seed = 1; seed <= 50; ++seed) {
      Vec x = random_values(leaf.doubles, seed), y = x;
      leaf.fast(x.data());
      leaf.portable(y.data());
      EXPECT_LT(difference(x, y), 1e-15) << leaf.name << ", seed " << seed;
    }
  }
}

}  // namespace
