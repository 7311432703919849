// BigFloat test support: records of exactly n words, exact GMP values, random
// operands that hit carries, borrows and cancellation, every output aliasing;
// the digits of pi from MPFR.
#ifndef MORLANT_TESTS_BIGNUM_BIGNUM_TEST_SUPPORT_H
#define MORLANT_TESTS_BIGNUM_BIGNUM_TEST_SUPPORT_H

#include <gmpxx.h>
#include <mpfr.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "bignum/big_format.h"
#include "bignum/compute_pi.h"
#include "bignum/bigfloat.h"

namespace bigtest {

inline constexpr int32_t kRadices[] = {10, 100, 1000, 10000};

// A heap record of exactly big_record_bytes(n) bytes (the sanitizer sees a
// write past word n-1); by default the canonical zero.
struct Big {
  int32_t n;
  std::vector<unsigned char> bytes;
  explicit Big(int32_t words) : n(words), bytes(big_record_bytes(words), 0) {}
  Big(int32_t words, int32_t sign, int32_t exponent, std::initializer_list<int> w) : Big(words) {
    (*this)->sign = sign;
    (*this)->exponent = exponent;
    std::copy(w.begin(), w.end(), (*this)->digits);
  }
  BigFloat* get() const { return reinterpret_cast<BigFloat*>(const_cast<unsigned char*>(bytes.data())); }
  BigFloat* operator->() const { return get(); }
  uint16_t& operator[](int32_t i) const { return get()->digits[i]; }
  bool operator==(const Big& o) const { return bytes == o.bytes; }
};

// An output record whose fields are all invalid, so every one must be written.
inline Big garbage(int32_t n) {
  Big b(n);
  b.bytes.assign(b.bytes.size(), 0x5f);
  return b;
}

inline std::string show(const Big& b) {
  std::string s = "{sign " + std::to_string(b->sign) + ", exp " + std::to_string(b->exponent) + ", [";
  for (int32_t i = 0; i < b.n && i < 24; ++i) s += (i ? " " : "") + std::to_string(b[i]);
  return s + (b.n > 24 ? " ...]}" : "]}");
}

inline mpz_class power(int64_t base, int64_t e) {
  mpz_class p;
  mpz_ui_pow_ui(p.get_mpz_t(), static_cast<unsigned long>(base), static_cast<unsigned long>(e));
  return p;
}

struct Exact { mpz_class m; int64_t e; };  // value = m * R^e

// Exact value of words [from, min(to, n)) of x in place (what a transform
// loads), or of all of them.
inline Exact part(const Big& x, int32_t R, int32_t from, int32_t to) {
  to = std::min(to, x.n);
  mpz_class m = 0;
  for (int32_t i = from; i < to; ++i) m = m * R + x[i];
  return {x->sign < 0 ? mpz_class(-m) : m, int64_t{x->exponent} - (to - 1)};
}
inline Exact exact(const Big& x, int32_t R) { return part(x, R, 0, x.n); }

inline Exact sum(Exact a, Exact b, int32_t R) {  // exponent differences stay small in tests
  if (a.e > b.e) std::swap(a, b);
  return {a.m + b.m * power(R, b.e - a.e), a.e};
}

// The record of v truncated toward zero to its n leading words.
inline Big truncated(int32_t n, int32_t R, const Exact& v) {
  Big out(n);
  if (v.m == 0) return out;
  const size_t k = std::to_string(R).size() - 1;
  std::string d = mpz_class(abs(v.m)).get_str(10);
  d.insert(0, (k - d.size() % k) % k, '0');
  const int32_t words = static_cast<int32_t>(d.size() / k);
  out->sign = sgn(v.m);
  out->exponent = static_cast<int32_t>(v.e + words - 1);
  for (int32_t i = 0; i < n && i < words; ++i) out[i] = static_cast<uint16_t>(std::stoi(d.substr(i * k, k)));
  return out;
}

// Canonical zero, or sign +-1 with a non-zero leading word; every word below R.
inline bool normalised(const Big& b, int32_t R) {
  bool ok = b->sign == 0 ? b->exponent == 0 : (b->sign == 1 || b->sign == -1) && b[0] != 0;
  for (int32_t i = 0; i < b.n; ++i) ok = ok && b[i] < R && (b->sign != 0 || b[i] == 0);
  return ok;
}

inline ::testing::AssertionResult matches(const Big& got, const Big& want, int32_t R) {
  if (normalised(got, R) && got == want) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "R " << R << " n " << got.n << "\n   got " << show(got) << "\n  want "
                                       << show(want);
}

// op(a, b, out) out of place, with out = a, out = b and (a == b) a = b = out
// must all give want. Unary operations pass their operand as both a and b.
template <typename Op>
void expect_all_aliasings(int32_t R, const Big& a, const Big& b, const Big& want, const std::string& what, Op op) {
  static const char* const kModes[] = {"out of place", "out = a", "out = b", "a = b = out"};
  Big outs[4] = {garbage(a.n), a, b, a};
  op(a.get(), b.get(), outs[0].get());
  op(outs[1].get(), b.get(), outs[1].get());
  op(a.get(), outs[2].get(), outs[2].get());
  op(outs[3].get(), outs[3].get(), outs[3].get());
  for (int m = 0; m < (a == b ? 4 : 3); ++m) {
    EXPECT_TRUE(matches(outs[m], want, R)) << what << ", " << kModes[m] << "\n a " << show(a) << "\n b " << show(b);
  }
}

// The first w words of x as a record of its own (sign and exponent kept).
inline Big prefix(const Big& x, int32_t w) {
  Big p(w);
  std::copy(x.bytes.begin(), x.bytes.begin() + static_cast<std::ptrdiff_t>(big_record_bytes(w)), p.bytes.begin());
  return p;
}


// Word counts: mostly short, some long enough for the plain loops to matter.
inline int32_t random_n(std::mt19937_64& g) {
  const uint64_t pick = g() % 16;
  return pick < 3 ? static_cast<int32_t>(pick + 1) : pick < 15 ? static_cast<int32_t>(1 + g() % 40) : 200;
}

// Normalised: zero one time in 16, else uniform words, runs of R-1, mostly
// zero words, or a short head followed by zeros.
inline Big random_big(std::mt19937_64& g, int32_t n, int32_t R, int32_t exponent) {
  Big b(n);
  if (g() % 16 == 0) return b;
  const uint64_t pattern = g() % 4, r = static_cast<uint64_t>(R);
  const int32_t head = 1 + static_cast<int32_t>(g() % static_cast<uint64_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    const uint64_t u = g();
    const bool usual = u % 8 != 0;
    const bool zero = (pattern == 2 && usual) || (pattern == 3 && i >= head);
    b[i] = static_cast<uint16_t>(pattern == 1 && usual ? r - 1 : zero ? 0 : u % r);
  }
  if (b[0] == 0) b[0] = static_cast<uint16_t>(1 + g() % (r - 1));
  b->sign = g() % 2 ? 1 : -1;
  b->exponent = exponent;
  return b;
}

// The first `count` digits of pi, "31415...", with 20 digits to spare against
// a run of zeros or nines.
inline std::string pi_digits(int64_t count) {
  const int64_t extra = 20;
  mpfr_t pi;
  mpfr_init2(pi, static_cast<mpfr_prec_t>(static_cast<double>(count + extra) * 3.3219280948873626) + 64);
  mpfr_const_pi(pi, MPFR_RNDN);
  mpfr_exp_t exp10 = 0;
  char* s = mpfr_get_str(nullptr, &exp10, 10, static_cast<size_t>(count + extra), pi, MPFR_RNDZ);
  std::string d(s, static_cast<size_t>(count));
  mpfr_free_str(s);
  mpfr_clear(pi);
  mpfr_free_cache();
  return d;
}

// A compute_pi_with_sink sink that keeps what it was handed.
struct PiCapture { int calls = 0; int32_t n = 0, R = 0, sign = 0, exponent = 0; std::string digits; };

inline void capture_pi(const BigFloat* pi, int32_t n, int32_t R, void* user) {
  auto* c = static_cast<PiCapture*>(user);
  *c = PiCapture{c->calls + 1, n, R, pi->sign, pi->exponent, std::string(static_cast<size_t>(n) * 4, '\0')};
  c->digits.resize(static_cast<size_t>(big_format_digits(n, R, pi, int64_t{n} * 4, c->digits.data())));
}

// The score of `digits` computed in `seconds`.
inline double expected_score(uint32_t digits, double seconds) {
  const double D = digits;
  return seconds <= 0 ? 0 : std::ceil((std::log2(D) * std::log2(D)) * (D * 5.663691143091034e-7) / seconds);
}

// The first progress estimates, far from the working precision: the benchmark's own.
inline constexpr uint32_t kFirstEstimates[] = {48, 80, 176, 352, 688, 1392};

// A finished computation of `requested` digits at transform length nfft:
// 4 nfft digits reported with their score, one record of radix 10000 and
// nfft + 2 words handed to the sink, whose digits (as many as requested and
// guaranteed) match MPFR's `reference`.
inline void expect_pi(int32_t requested, const BenchmarkResult& r, const PiCapture& pi, uint32_t nfft,
                      const std::string& reference) {
  SCOPED_TRACE(std::to_string(requested) + " digits requested");
  ASSERT_EQ(r.status, 1u) << r.message;
  EXPECT_STREQ(r.message, "");
  EXPECT_EQ(r.digits, 4 * nfft);
  EXPECT_GE(r.seconds, 0.0);
  EXPECT_EQ(r.score, expected_score(r.digits, r.seconds)) << r.seconds << " s";
  ASSERT_EQ(pi.calls, 1);
  // The radix test allows R = 10000 at every length up to 2^21.
  EXPECT_TRUE(pi.R == 10000 && pi.n == static_cast<int32_t>(nfft + 2) && pi.sign == 1 && pi.exponent == 0)
      << "R " << pi.R << ", n " << pi.n << ", sign " << pi.sign << ", exponent " << pi.exponent;
  const size_t count = std::min<size_t>(static_cast<size_t>(requested), pi_guaranteed_digits(r.digits));
  ASSERT_GE(pi.digits.size(), count);
  ASSERT_GE(reference.size(), count);
  const auto diff = std::mismatch(reference.begin(), reference.begin() + static_cast<std::ptrdiff_t>(count), pi.digits.begin());
  EXPECT_EQ(diff.first - reference.begin(), static_cast<std::ptrdiff_t>(count)) << "digit differs (position from 0)";
}

}  // namespace bigtest

#endif  // MORLANT_TESTS_BIGNUM_BIGNUM_TEST_SUPPORT_H
