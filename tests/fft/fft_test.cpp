// The complex FFT against a long-double radix-2 reference: whole
// transforms of both paths, through their own stages, leaves and bit-reversal
// permutations; the vector stages and leaves against the portable ones; the
// product path's transforms (forward without the permutation, the transposed
// inverse, their adjoint stages and leaves).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "fft/fft.h"
#include "fft/fft_dit.h"
#include "fft/fft_leaf.h"
#include "fft/fft_simd.h"

namespace {

using cld = std::complex<long double>;
using Vec = std::vector<double>;
const long double kPi = 3.141592653589793238462643383279502884L;
// Largest error relative to the largest output: about 8 ulp, room for the
// other rounding orders of fused multiply-adds (clang on ARM64 reached 2.0e-15).
constexpr double kBound = 3e-15;

// Under an emulator long double is slow software arithmetic: the longest
// transforms are shorter there.
#ifdef MORLANT_TESTS_EMULATED
constexpr int32_t kLongest = 1 << 16;
#else
constexpr int32_t kLongest = 1 << 20;
#endif

// n doubles uniform in [-1, 1), the same for the same seed.
Vec random_values(int32_t n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  Vec x(static_cast<std::size_t>(n));
  for (double& v : x) v = dist(rng);
  return x;
}

std::vector<cld> to_complex(const Vec& x) {
  std::vector<cld> z(x.size() / 2);
  for (std::size_t k = 0; k < z.size(); ++k) z[k] = cld(x[2 * k], x[2 * k + 1]);
  return z;
}

int log2_exact(std::size_t m) {
  int b = 0;
  while ((std::size_t{1} << b) < m) ++b;
  return b;
}

std::size_t bitrev(std::size_t k, int bits) {
  std::size_t r = 0;
  for (int i = 0; i < bits; ++i) r |= ((k >> i) & 1u) << (bits - 1 - i);
  return r;
}

// Value k moved to value bitrev(k), by index arithmetic (not the library's).
Vec scrambled(const Vec& x) {
  const int bits = log2_exact(x.size() / 2);
  Vec y(x.size());
  for (std::size_t k = 0; k < x.size() / 2; ++k)
    y[2 * bitrev(k, bits)] = x[2 * k], y[2 * bitrev(k, bits) + 1] = x[2 * k + 1];
  return y;
}

// The reference: an iterative radix-2 transform in long double, sum_j z[j]
// exp(sign 2 pi i jk/M), twiddles computed one by one.
std::vector<cld> fft_radix2(std::vector<cld> z, int sign) {
  const std::size_t m = z.size();
  const int bits = log2_exact(m);
  for (std::size_t k = 0; k < m; ++k)
    if (k < bitrev(k, bits)) std::swap(z[k], z[bitrev(k, bits)]);
  for (std::size_t len = 2; len <= m; len *= 2) {
    for (std::size_t j = 0; j < len / 2; ++j) {
      const cld w = std::polar(1.0L, sign * 2 * kPi * j / static_cast<long double>(len));
      for (std::size_t s = 0; s < m; s += len) {
        const cld u = z[s + j], v = z[s + j + len / 2] * w;
        z[s + j] = u + v, z[s + j + len / 2] = u - v;
      }
    }
  }
  return z;
}

// The doubles of z, to compare with difference().
Vec to_doubles(const std::vector<cld>& z) {
  Vec x(2 * z.size());
  for (std::size_t k = 0; k < z.size(); ++k) x[2 * k] = static_cast<double>(z[k].real()), x[2 * k + 1] = static_cast<double>(z[k].imag());
  return x;
}

// Largest |got - want| relative to the largest |want|, on the doubles.
double difference(const Vec& got, const Vec& want) {
  double diff = 0, mag = 0;
  for (std::size_t i = 0; i < want.size(); ++i)
    diff = std::max(diff, std::fabs(got[i] - want[i])), mag = std::max(mag, std::fabs(want[i]));
  return diff / mag;
}

template <typename F>
Vec applied(Vec x, F f) {
  f(x.data());
  return x;
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

// Any sign >= 0 is forward.
TEST(FftTransform, MatchesTheLongDoubleReferenceBothSigns) {
  unsigned seed = 1;
  for (int32_t n = 2; n <= 65536; n *= 2) {
    for (int32_t sign : {0, 1, INT32_MAX, -1, INT32_MIN}) {
      const Vec x = random_values(n, seed++);
      const Vec want = to_doubles(fft_radix2(to_complex(x), sign < 0 ? -1 : 1));
      for (const auto& path : kPaths)
        EXPECT_LT(difference(applied(x, [&](double* y) { path.run(n, sign, y); }), want), kBound)
            << path.name << " n=" << n << " sign=" << sign;
    }
  }
}

// Both pairs (natural, and the product path's scrambled one) are round trips
// up to the factor n/2, the scrambled one as accurate as the natural one.
TEST(FftTransform, ForwardThenInverseMultipliesByN) {
  for (int32_t n = 2; n <= kLongest; n *= 2) {
    const Vec x = random_values(n, 99u);
    auto error = [&](auto forward, auto inverse) {
      Vec y = applied(applied(x, forward), inverse);
      for (double& v : y) v /= n / 2;
      return difference(y, x);
    };
    for (const auto& path : kPaths) {
      if (n > (1 << 18)) break;
      EXPECT_LT(error([&](double* y) { path.run(n, 1, y); }, [&](double* y) { path.run(n, -1, y); }), 1e-14)
          << path.name << " n=" << n;
    }
    const double natural = error([&](double* y) { fft_forward(n, y); }, [&](double* y) { fft_inverse(n, y); });
    const double scrambled_pair =
        error([&](double* y) { fft_forward_scrambled(n, y); }, [&](double* y) { fft_inverse_scrambled(n, y); });
    EXPECT_LT(scrambled_pair, std::min(1e-14, 1.5 * natural + 1e-15)) << "scrambled pair, n=" << n;
  }
}

// The vector stages and leaves against the portable ones, which the
// whole-transform tests pin down: the stages' twiddle plans differ (each is
// within kBound of the exact stage), the leaves differ only in fused rounding.
TEST(FftSimd, VectorStagesAndLeavesMatchThePortableForms) {
  if (!fft_simd_available()) GTEST_SKIP() << "no vectorised forms on this processor or build";
  const struct {
    const char* name;
    void (*fast)(int32_t, double*), (*portable)(int32_t, double*);
  } stages[] = {{"plain", fft_radix4_stage_vec, fft_radix4_stage_portable},
                {"conjugating", fft_radix4_stage_conj_vec, fft_radix4_stage_conj_portable},
                {"odd", fft_odd_radix4_stage_vec, fft_odd_radix4_stage_portable}};
  for (int32_t n = 64; n <= kLongest / 4; n *= 2) {
    for (const auto& st : stages) {
      const Vec x = random_values(n, static_cast<unsigned>(n));
      EXPECT_LT(difference(applied(x, [&](double* y) { st.fast(n, y); }), applied(x, [&](double* y) { st.portable(n, y); })),
                4 * kBound)
          << st.name << " stage, n = " << n;
    }
  }
  const struct {
    const char* name;
    void (*fast)(double*), (*portable)(double*);
    int32_t doubles;
  } leaves[] = {{"leaf8", fft_leaf8_vec, fft_leaf8_portable, 16},
                {"leaf16", fft_leaf16_vec, fft_leaf16_portable, 32},
                {"odd leaf8", fft_odd_leaf8_vec, fft_odd_leaf8_portable, 16},
                {"odd leaf16", fft_odd_leaf16_vec, fft_odd_leaf16_portable, 32}};
  for (const auto& leaf : leaves) {
    for (unsigned seed = 1; seed <= 50; ++seed) {
      const Vec x = random_values(leaf.doubles, seed);
      EXPECT_LT(difference(applied(x, leaf.fast), applied(x, leaf.portable)), 1e-15) << leaf.name << ", seed " << seed;
    }
  }
}

// The product path against the natural-order transforms: the forward one is
// the transform left in bit-reversed order (exactly, which also pins the
// natural transforms' permutations at every length); the half forward never
// reads the upper half (NaN there must not matter), both forms of its top
// stage; the inverse reads bit-reversed input.
TEST(FftScrambled, ProductPathTransformsMatchTheNaturalOnesInBitReversedOrder) {
  for (int32_t n = 2; n <= kLongest; n *= 2) {
    const std::size_t upper = static_cast<std::size_t>(n) / 2 + 1;
    const Vec x = random_values(n, static_cast<unsigned>(n));
    EXPECT_EQ(applied(x, [&](double* y) { fft_forward_scrambled(n, y); }),
              scrambled(applied(x, [&](double* y) { fft_forward(n, y); })))
        << "n = " << n;

    Vec lower = random_values(n, 3u * static_cast<unsigned>(n)), nan = lower;
    std::fill(lower.begin() + static_cast<std::ptrdiff_t>(upper), lower.end(), 0.0);
    std::fill(nan.begin() + static_cast<std::ptrdiff_t>(upper), nan.end(), std::nan(""));
    EXPECT_LT(difference(applied(nan, [&](double* y) { fft_forward_scrambled_half(n, y); }),
                         applied(lower, [&](double* y) { fft_forward_scrambled(n, y); })),
              1e-15)
        << "half forward, n = " << n;
    if (n >= 64 && fft_simd_available()) {
      EXPECT_LT(difference(applied(nan, [&](double* y) { fft_half_stage_vec(n, y); }),
                           applied(nan, [&](double* y) { fft_half_stage_portable(n, y); })),
                2e-15)
          << "vector top stage, n = " << n;
    }

    const Vec spectrum = random_values(n, 7u * static_cast<unsigned>(n));
    EXPECT_LT(difference(applied(scrambled(spectrum), [&](double* y) { fft_inverse_scrambled(n, y); }),
                         applied(spectrum, [&](double* y) { fft_inverse(n, y); })),
              3e-15)
        << "inverse, n = " << n;
  }
}

// <A x, y> = <x, A^H y> for each forward building block A and its adjoint
// (the product path's inverse is built of these), and the dispatching
// adjoint stages against the portable ones.
TEST(FftScrambled, AdjointStagesAndLeavesAreTheForwardOnesTransposed) {
  const auto inner = [](const Vec& x, const Vec& y) {  // sum conj(x) y
    cld s = 0;
    for (std::size_t k = 0; k < x.size(); k += 2) s += std::conj(cld(x[k], x[k + 1])) * cld(y[k], y[k + 1]);
    return s;
  };
  const auto check = [&](const char* name, int32_t n, auto forward, auto adjoint, auto portable) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      const Vec x = random_values(n, seed), y = random_values(n, seed + 50);
      const Vec ahy = applied(y, adjoint);
      EXPECT_LT(std::abs(inner(applied(x, forward), y) - inner(x, ahy)), 1e-13L * std::sqrt(n * 1.0L) * n)
          << name << ", n = " << n;
      EXPECT_LT(difference(ahy, applied(y, portable)), 1e-15) << name << " against the portable form, n = " << n;
    }
  };
  for (int32_t n = 64; n <= (1 << 16); n *= 2) {
    const auto at = [n](void (*f)(int32_t, double*)) { return [f, n](double* y) { f(n, y); }; };
    check("plain stage", n, at(fft_radix4_stage), at(fft_dit_stage), at(fft_dit_stage_portable));
    check("odd stage", n, at(fft_odd_radix4_stage), at(fft_odd_dit_stage), at(fft_odd_dit_stage_portable));
  }
  check("leaf8", 16, fft_leaf8, fft_dit_leaf8, fft_dit_leaf8_portable);
  check("leaf16", 32, fft_leaf16, fft_dit_leaf16, fft_dit_leaf16_portable);
  check("odd leaf8", 16, fft_odd_leaf8, fft_odd_dit_leaf8, fft_odd_dit_leaf8_portable);
  check("odd leaf16", 32, fft_odd_leaf16, fft_odd_dit_leaf16, fft_odd_dit_leaf16_portable);
}

}  // namespace
