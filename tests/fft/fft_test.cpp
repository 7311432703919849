// The complex FFT against a long-double radix-2 reference, both paths at
// every length: the natural transforms, and the product path's transforms
// (forward without the permutation, its half-array form, and the transposed
// inverse, the exact adjoint of the forward one); the vector path against
// the portable one, and the public entries against the path they choose.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "fft/fft.h"
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
        z[s + j] = u + v;
        z[s + j + len / 2] = u - v;
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

// A transform of all of x.
Vec run(Vec x, void (*transform)(int32_t, double*)) {
  transform(static_cast<int32_t>(x.size()), x.data());
  return x;
}
Vec run(Vec x, void (*transform)(int32_t, double*, Team*), Team* team = nullptr) {
  transform(static_cast<int32_t>(x.size()), x.data(), team);
  return x;
}

// The paths under test: the portable one always, the vector one where this
// build and processor have it.
struct Path {
  const char* name;
  const FftPath* fft;
};
std::vector<Path> paths() {
  std::vector<Path> all = {{"portable", &fft_portable_path}};
#ifdef MORLANT_FFT_HAVE_VEC
  if (fft_simd_available()) all.push_back({"vector", &fft_vector_path});
#endif
  return all;
}

void transform(const FftPath& path, int32_t n, int32_t sign, double* x) {
  if (sign < 0) path.inverse(n, x);
  else path.forward(n, x);
}

// Any sign >= 0 is forward.
TEST(FftTransform, MatchesTheLongDoubleReferenceBothSigns) {
  unsigned seed = 1;
  for (int32_t n = 2; n <= 65536; n *= 2) {
    for (int32_t sign : {0, 1, INT32_MAX, -1, INT32_MIN}) {
      const Vec x = random_values(n, seed++);
      const Vec want = to_doubles(fft_radix2(to_complex(x), sign < 0 ? -1 : 1));
      for (const Path& path : paths())
        EXPECT_LT(difference(applied(x, [&](double* y) { transform(*path.fft, n, sign, y); }), want), kBound)
            << path.name << " n=" << n << " sign=" << sign;
      EXPECT_EQ(applied(x, [&](double* y) { fft_complex_transform(n, sign, y); }),
                applied(x, [&](double* y) { transform(*paths().back().fft, n, sign, y); }))
          << "the public entry runs the chosen path, n=" << n;
    }
  }
}

// Both pairs (natural, and the product path's scrambled one) are round trips
// up to the factor n/2, the scrambled one as accurate as the natural one.
TEST(FftTransform, ForwardThenInverseMultipliesByN) {
  for (int32_t n = 2; n <= kLongest; n *= 2) {
    const Vec x = random_values(n, 99u);
    auto error = [&](auto forward, auto inverse) {
      Vec y = run(run(x, forward), inverse);
      for (double& v : y) v /= n / 2;
      return difference(y, x);
    };
    for (const Path& path : paths()) {
      if (n > (1 << 18) && path.fft == &fft_portable_path) continue;
      const double natural = error(path.fft->forward, path.fft->inverse);
      const double scrambled_pair = error(path.fft->forward_scrambled, path.fft->inverse_scrambled);
      EXPECT_LT(natural, 1e-14) << path.name << " n=" << n;
      EXPECT_LT(scrambled_pair, std::min(1e-14, 1.5 * natural + 1e-15)) << path.name << " scrambled pair, n=" << n;
    }
  }
}

// The vector path against the portable one, transform by transform, on
// every length whose blocks, stages and permutation take another form. The
// twiddle plans are the same; they differ in fused rounding alone.
TEST(FftTransform, VectorPathMatchesThePortablePath) {
  const std::vector<Path> all = paths();
  if (all.size() < 2) GTEST_SKIP() << "no vector path in this build or on this processor";
  const FftPath& fast = *all[1].fft;
  const FftPath& portable = *all[0].fft;
  const struct {
    const char* name;
    Vec (*run)(const FftPath&, const Vec&);
  } forms[] = {{"forward", [](const FftPath& f, const Vec& x) { return run(x, f.forward); }},
               {"inverse", [](const FftPath& f, const Vec& x) { return run(x, f.inverse); }},
               {"forward_scrambled", [](const FftPath& f, const Vec& x) { return run(x, f.forward_scrambled); }},
               {"forward_scrambled_half", [](const FftPath& f, const Vec& x) { return run(x, f.forward_scrambled_half); }},
               {"inverse_scrambled", [](const FftPath& f, const Vec& x) { return run(x, f.inverse_scrambled); }}};
  for (int32_t n = 2; n <= kLongest / 4; n *= 2) {
    for (const auto& form : forms) {
      const Vec x = random_values(n, static_cast<unsigned>(n));
      EXPECT_LT(difference(form.run(fast, x), form.run(portable, x)), 4 * kBound) << form.name << ", n = " << n;
    }
  }
}

// The product path against the natural-order transforms: the forward one is
// the transform left in bit-reversed order (exactly, which also pins the
// natural transforms' permutations at every length); the half forward never
// reads the upper half (NaN there must not matter); the inverse reads
// bit-reversed input, and is the forward one's exact adjoint:
// <F x, y> = <x, F^H y>.
TEST(FftScrambled, ProductPathTransformsMatchTheNaturalOnesInBitReversedOrder) {
  const auto inner = [](const Vec& x, const Vec& y) {  // sum conj(x) y
    cld s = 0;
    for (std::size_t k = 0; k < x.size(); k += 2) s += std::conj(cld(x[k], x[k + 1])) * cld(y[k], y[k + 1]);
    return s;
  };
  for (const Path& path : paths()) {
    const FftPath& f = *path.fft;
    for (int32_t n = 2; n <= kLongest; n *= 2) {
      const std::size_t upper = static_cast<std::size_t>(n) / 2 + 1;
      const Vec x = random_values(n, static_cast<unsigned>(n));
      EXPECT_EQ(run(x, f.forward_scrambled), scrambled(run(x, f.forward))) << path.name << ", n = " << n;

      Vec lower = random_values(n, 3u * static_cast<unsigned>(n)), nan = lower;
      std::fill(lower.begin() + static_cast<std::ptrdiff_t>(upper), lower.end(), 0.0);
      std::fill(nan.begin() + static_cast<std::ptrdiff_t>(upper), nan.end(), std::nan(""));
      EXPECT_LT(difference(run(nan, f.forward_scrambled_half), run(lower, f.forward_scrambled)), 1e-15)
          << path.name << " half forward, n = " << n;

      const Vec spectrum = random_values(n, 7u * static_cast<unsigned>(n));
      EXPECT_LT(difference(run(scrambled(spectrum), f.inverse_scrambled), run(spectrum, f.inverse)), 3e-15)
          << path.name << " inverse, n = " << n;

      if (n > (1 << 16)) continue;
      const Vec fx = run(x, f.forward_scrambled), ahy = run(spectrum, f.inverse_scrambled);
      EXPECT_LT(std::abs(inner(fx, spectrum) - inner(x, ahy)), 1e-13L * std::sqrt(n * 1.0L) * n)
          << path.name << " adjoint, n = " << n;
    }
  }
}

}  // namespace
