// pi by the Gauss-Legendre / Salamin-Brent iteration on squared quantities.
//
// State at the start of iteration j (i = j + 1), with a_0 = 1, b_0 = 1/sqrt 2,
// a_{i+1} = (a_i + b_i)/2, b_{i+1} = sqrt(a_i b_i):
//   A = 2^i a_i^2,  B = 2^i b_i^2,  T = 1/2 - sum_{h<i} G_h,  divisor = 2^i,
// where G_h = (A_h + B_h)/2 - sqrt(A_h B_h) = 2^(h-1) (a_h - b_h)^2. The
// set-up covers the first two steps in closed form.
#include "bignum/compute_pi.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bignum/big_mul.h"
#include "bignum/big_newton.h"

namespace {

constexpr double kEpsilon = 2.220446049250313e-16;  // 2^-52
constexpr double kScoreScale = 5.663691143091034e-7;

// The radix whose worst-case products still round safely at this length:
// the measured error plus a margin for the accumulated rounding of n words
// must stay below 0.4 of the last word.
int32_t choose_radix(int32_t n, int32_t nfft, double* X, int32_t* digits_per_word, Team* team) {
  const double e = fft_roundoff_test(n, 10, nfft, X, team) + 25.0 * n * kEpsilon;
  if (e * 100 >= 0.4) {
    *digits_per_word = 1;
    return 10;
  }
  if (e * 10000 >= 0.4) {
    *digits_per_word = 2;
    return 100;
  }
  if (e * 1000000 >= 0.4) {
    *digits_per_word = 3;
    return 1000;
  }
  *digits_per_word = 4;
  return 10000;
}

}  // namespace

double morlant_clock_ms() {
  using namespace std::chrono;
  return static_cast<double>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint32_t pi_guaranteed_digits(uint32_t reported) {
  const uint32_t guard = reported >= 16384 ? 8 : 2;
  return reported > guard ? reported - guard : 0;
}

int32_t pi_transform_length(int32_t digits) {
  const int32_t quarter = digits / 4;
  int32_t length = 2;
  while (length < quarter) length *= 2;  // quarter < 2^29: the doubling never overflows
  return length;
}

void compute_pi(int32_t digits, BenchmarkResult* result, ProgressCallback callback, void* user) {
  compute_pi_with_sink(digits, 1, result, callback, user, nullptr, nullptr);
}

void compute_pi_with_sink(int32_t digits, int32_t parallel, BenchmarkResult* result, ProgressCallback callback,
                          void* user, PiDigitSink sink, void* sink_user) {
  if (result == nullptr) return;
  std::memset(result, 0, sizeof *result);
  if (digits < 1) {
    std::snprintf(result->message, sizeof result->message, "Invalid number of digits: %d", digits);
    return;
  }
  if (parallel < 1 || parallel > kTeamMaxMembers) {
    std::snprintf(result->message, sizeof result->message, "Invalid number of threads: %d", parallel);
    return;
  }
  const double t0 = morlant_clock_ms();
  // The team's threads start with the computation and are part of its time.
  Team* team = nullptr;
  if (parallel > 1 && (team = team_start(parallel)) == nullptr) {
    std::snprintf(result->message, sizeof result->message, "Could not start %d threads", parallel);
    return;
  }

  const int32_t nfft = pi_transform_length(digits);
  const int32_t n = nfft + 2;

  const std::size_t record = big_record_bytes(n);
  const std::size_t array = sizeof(double) * static_cast<std::size_t>(n);
  BigFloat* A = static_cast<BigFloat*>(std::malloc(record));
  BigFloat* B = static_cast<BigFloat*>(std::malloc(record));
  BigFloat* T = static_cast<BigFloat*>(std::malloc(record));
  BigFloat* G = static_cast<BigFloat*>(std::malloc(record));
  BigFloat* tmp1 = static_cast<BigFloat*>(std::malloc(record));
  BigFloat* tmp2 = static_cast<BigFloat*>(std::malloc(record));
  double* P = static_cast<double*>(std::malloc(array));
  double* Q = static_cast<double*>(std::malloc(array));
  double* S = static_cast<double*>(std::malloc(array));

  if (A && B && T && G && tmp1 && tmp2 && P && Q && S) {
    int32_t k = 4;
    const int32_t R = choose_radix(n, nfft, P, &k, team);
    // The full-length products' scratch; the Newton iterations take P and Q
    // (Q and S in the final combination, where P keeps s_hi) and tmp1, tmp2.
    const ProductScratch full = {nfft, P, Q, S, tmp1, team};
    const ProductScratch newton = {nfft, P, Q, nullptr, nullptr, team};
    const ProductScratch newton_qs = {nfft, Q, S, nullptr, nullptr, team};

    // Set-up: A = 4 a_2^2, B = 4 b_2^2, T = 1/2 - G_0 - G_1.
    big_rsqrt_small(n, R, 8, T, tmp1, tmp2, &newton);  // 1/sqrt 8
    big_mul_small(n, R, T, 3, G, team);
    big_parse(n, k, "1", A);
    big_add(n, R, A, G, A, team);  // 1 + 3/sqrt 8
    big_sqrt(n, R, A, B, tmp1, tmp2, &newton);
    big_parse(n, k, "0.625", G);
    big_sub(n, R, B, G, G, team);
    big_add(n, R, B, B, B, team);
    big_sub(n, R, G, T, T, team);
    big_add(n, R, A, G, A, team);
    double total = (morlant_clock_ms() - t0) * 0.001;

    int32_t divisor = 4;
    int32_t m = 0;
    for (int32_t j = 1;; ++j) {
      const double tj = morlant_clock_ms();
      big_add(n, R, A, B, G, team);
      big_half(n, R, G, G);
      big_mul(n, R, A, B, A, &full);
      big_sqrt(n, R, A, B, tmp1, tmp2, &newton);
      big_sub(n, R, G, B, G, team);  // (A + B)/2 - sqrt(A B) of the old A and B
      big_add(n, R, B, B, B, team);
      big_sub(n, R, T, G, T, team);
      big_add(n, R, G, B, A, team);
      // G < R^(1-m): G has m - 1 zero words after the point.
      m = G->sign != 0 ? -G->exponent : n;
      const double t = morlant_clock_ms();
      if (callback != nullptr)
        callback(j, static_cast<uint32_t>(4 * k * m), user, (t - tj) * 0.001, t);
      total += (t - tj) * 0.001;
      divisor *= 2;
      if (static_cast<int64_t>(n) < 4 * static_cast<int64_t>(m)) break;
    }

    // pi = (s_hi s - g^2/4 - g^2/8) / (divisor (s_hi T - g^2/4)), s = A + B,
    // g the last G: numerator and denominator share the factor s_hi, so the
    // short products suffice.
    const double t3 = morlant_clock_ms();
    big_half(n, R, G, G);
    big_sqr(n, R, G, G, &full);
    big_add(n, R, A, B, A, team);
    big_mul_short(n, R, A, T, T, &full);  // P keeps s_hi
    big_sub(n, R, T, G, T, team);
    big_reciprocal(n, R, T, B, tmp1, tmp2, &newton_qs);
    big_sqr_short(n, R, A, A, &full);
    big_sub(n, R, A, G, A, team);
    big_half(n, R, G, G);
    big_sub(n, R, A, G, A, team);
    big_mul(n, R, A, B, A, &full);
    big_div_small(n, R, A, divisor, A);
    const double t4 = morlant_clock_ms();

    result->status = 1;
    result->digits = static_cast<uint32_t>(k) * static_cast<uint32_t>(nfft);
    result->seconds = (t4 - t3) * 0.001 + total;
    result->score = 0.0;
    if (result->digits >= 1 && result->seconds > 0) {
      const double D = result->digits;
      result->score = std::ceil((std::log2(D) * std::log2(D)) * (D * kScoreScale) / result->seconds);
    }
    if (sink != nullptr) sink(A, n, R, sink_user);
  } else {
    std::snprintf(result->message, sizeof result->message, "Memory allocation failed");
  }

  team_stop(team);
  std::free(S);
  std::free(Q);
  std::free(P);
  std::free(tmp2);
  std::free(tmp1);
  std::free(G);
  std::free(T);
  std::free(B);
  std::free(A);
}
