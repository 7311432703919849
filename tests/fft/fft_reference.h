// Deliberately naive long-double references for the FFT tests.
#ifndef MORLANT_TESTS_FFT_FFT_REFERENCE_H
#define MORLANT_TESTS_FFT_FFT_REFERENCE_H

#include <cmath>
#include <complex>
#include <cstddef>
#include <random>
#include <vector>

namespace fftref {

using cld = std::complex<long double>;

inline const long double kPi = 3.141592653589793238462643383279502884L;

// Builds whose tests run under an emulator (MORLANT_TESTS_EMULATED) leave the
// O(M^2) reference to shorter lengths: long double is software quadruple
// precision on aarch64, and emulated on top of that.
#ifdef MORLANT_TESTS_EMULATED
inline constexpr bool kEmulated = true;
#else
inline constexpr bool kEmulated = false;
#endif

inline std::vector<cld> to_complex(const std::vector<double>& x) {
  std::vector<cld> z(x.size() / 2);
  for (std::size_t k = 0; k < z.size(); ++k) z[k] = cld(x[2 * k], x[2 * k + 1]);
  return z;
}

inline std::size_t bitrev(std::size_t k, int bits) {
  std::size_t r = 0;
  for (int i = 0; i < bits; ++i) r |= ((k >> i) & 1u) << (bits - 1 - i);
  return r;
}

inline int log2_exact(std::size_t m) {
  int b = 0;
  while ((std::size_t{1} << b) < m) ++b;
  return b;
}

// X[k] = sum_j z[j] exp(sign 2 pi i j (k + offset) / M), O(M^2), angles
// reduced exactly modulo the period before the trigonometric call.
inline std::vector<cld> dft(const std::vector<cld>& z, int sign, long double offset = 0.0L) {
  const std::size_t m = z.size();
  // Roots exp(sign pi i u / M) for u = 0 ... 2M-1; j*(2k + 2*offset) is
  // reduced exactly modulo 2M, offset being 0 or 1/2.
  std::vector<cld> root(2 * m);
  for (std::size_t u = 0; u < 2 * m; ++u) {
    const long double ang = sign * kPi * static_cast<long double>(u) / static_cast<long double>(m);
    root[u] = cld(std::cos(ang), std::sin(ang));
  }
  const std::size_t half = offset != 0.0L ? 1 : 0;
  std::vector<cld> out(m);
  for (std::size_t k = 0; k < m; ++k) {
    cld s = 0;
    const std::size_t step = 2 * k + half;
    std::size_t u = 0;
    for (std::size_t j = 0; j < m; ++j) {
      s += z[j] * root[u];
      u = (u + step) % (2 * m);
    }
    out[k] = s;
  }
  return out;
}

// Iterative radix-2 transform in long double, exp(sign 2 pi i jk/M).
inline std::vector<cld> fft_radix2(std::vector<cld> z, int sign) {
  const std::size_t m = z.size();
  const int bits = log2_exact(m);
  for (std::size_t k = 0; k < m; ++k) {
    const std::size_t r = bitrev(k, bits);
    if (k < r) std::swap(z[k], z[r]);
  }
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

inline std::vector<double> random_data(std::size_t n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> x(n);
  for (double& v : x) v = dist(rng);
  return x;
}

// Largest |got - want| relative to the largest |want|.
inline long double relative_error(const std::vector<double>& got, const std::vector<cld>& want) {
  long double err = 0, mag = 0;
  for (std::size_t k = 0; k < want.size(); ++k) {
    err = std::max(err, std::abs(cld(got[2 * k], got[2 * k + 1]) - want[k]));
    mag = std::max(mag, std::abs(want[k]));
  }
  return mag > 0 ? err / mag : err;
}

}  // namespace fftref

#endif  // MORLANT_TESTS_FFT_FFT_REFERENCE_H
