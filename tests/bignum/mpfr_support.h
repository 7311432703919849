// MPFR references: records as MPFR numbers, errors in units of the last word, pi.
#ifndef MORLANT_TESTS_BIGNUM_MPFR_SUPPORT_H
#define MORLANT_TESTS_BIGNUM_MPFR_SUPPORT_H

#include <mpfr.h>

#include <cmath>
#include <string>

#include "bignum/big_format.h"
#include "tests/bignum/bignum_test_support.h"

namespace bigtest {

struct Mp {  // an MPFR number that frees itself
  mpfr_t v;
  explicit Mp(mpfr_prec_t bits) { mpfr_init2(v, bits); }
  ~Mp() { mpfr_clear(v); }
  Mp(const Mp&) = delete;
  Mp& operator=(const Mp&) = delete;
  operator mpfr_ptr() { return v; }
};

// Enough bits for n words of radix R with a wide margin.
inline mpfr_prec_t bits_for(int32_t n, int32_t R) {
  return static_cast<mpfr_prec_t>(std::ceil((n + 4) * std::log2(static_cast<double>(R)))) + 128;
}

inline void set_big(mpfr_ptr v, const Big& x, int32_t R) {
  const Exact e = exact(x, R);
  Mp scale(mpfr_get_prec(v));
  mpfr_set_ui(scale, static_cast<unsigned long>(R), MPFR_RNDN);
  mpfr_pow_si(scale, scale, static_cast<long>(e.e), MPFR_RNDN);
  mpfr_set_z(v, e.m.get_mpz_t(), MPFR_RNDN);
  mpfr_mul(v, v, scale, MPFR_RNDN);
}

// (got - ref) in units of got's last word; ref needs bits_for(got.n, R).
inline double ulps(const Big& got, int32_t R, mpfr_srcptr ref) {
  const Exact e = exact(got, R);
  Mp d(mpfr_get_prec(ref) + 64), s(mpfr_get_prec(ref) + 64);
  mpfr_set_ui(s, static_cast<unsigned long>(R), MPFR_RNDN);
  mpfr_pow_si(s, s, static_cast<long>(-e.e), MPFR_RNDN);
  mpfr_mul(s, s, ref, MPFR_RNDN);
  mpfr_set_z(d, e.m.get_mpz_t(), MPFR_RNDN);
  mpfr_sub(d, d, s, MPFR_RNDN);
  return mpfr_get_d(d, MPFR_RNDN);
}

// The first `count` digits of pi, "31415...", with 20 digits to spare against
// a run of zeros or nines.
inline std::string pi_digits(int64_t count) {
  const int64_t extra = 20;
  Mp pi(static_cast<mpfr_prec_t>(static_cast<double>(count + extra) * 3.3219280948873626) + 64);
  mpfr_const_pi(pi, MPFR_RNDN);
  mpfr_exp_t exp10 = 0;
  char* s = mpfr_get_str(nullptr, &exp10, 10, static_cast<size_t>(count + extra), pi, MPFR_RNDZ);
  std::string d(s, static_cast<size_t>(count));
  mpfr_free_str(s);
  mpfr_free_cache();
  return d;
}

// A compute_pi_with_sink sink that keeps what it was handed.
struct PiCapture {
  int calls = 0;
  int32_t n = 0, R = 0, sign = 0, exponent = 0;
  std::string digits;
};

inline void capture_pi(const BigFloat* pi, int32_t n, int32_t R, void* user) {
  auto* c = static_cast<PiCapture*>(user);
  ++c->calls;
  c->n = n;
  c->R = R;
  c->sign = pi->sign;
  c->exponent = pi->exponent;
  c->digits.assign(static_cast<size_t>(n) * 4, '\0');
  c->digits.resize(static_cast<size_t>(big_format_digits(n, R, pi, int64_t{n} * 4, c->digits.data())));
}

}  // namespace bigtest

#endif  // MORLANT_TESTS_BIGNUM_MPFR_SUPPORT_H
