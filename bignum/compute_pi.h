// The timed workload: pi to a requested number of decimal digits by the
// arithmetic-geometric-mean iteration, with per-iteration progress.
#ifndef MORLANT_BIGNUM_COMPUTE_PI_H
#define MORLANT_BIGNUM_COMPUTE_PI_H

#include <cstdint>

#include "bignum/bigfloat.h"

// Outcome of one computation (and, aggregated, of a benchmark): 280 bytes.
struct BenchmarkResult {
  uint32_t status;    // 1 = success, 0 = failure
  uint32_t digits;    // decimal digits computed: digits per word x transform length
  double seconds;     // time of the computation
  double score;       // 0 when it cannot be formed
  char message[256];  // NUL-terminated error text; empty on success
};
static_assert(sizeof(BenchmarkResult) == 280, "BenchmarkResult is a 280-byte record");

// Called once per AGM iteration: step (1 for the first), the digits known to
// be correct so far, the user pointer, the iteration's seconds, and the
// clock reading (milliseconds) at the iteration's end. The result is ignored
// by the computation.
typedef int32_t (*ProgressCallback)(int32_t step, uint32_t digits, void* user, double seconds, double clock);

// The transform length of a computation of `digits` decimal digits: the
// smallest power of two, at least 2, not below digits / 4 (the quotient
// truncated). 2 for every digits < 12, 0 and negative counts included (no
// computation runs for digits < 1); 2^29 for the largest count, so the
// result always fits. The word count of the computation is this plus 2.
int32_t pi_transform_length(int32_t digits);

// Computes pi to `digits` decimal digits into *result (nothing at all when
// result is null). Allocates its nine working buffers for the call and
// releases them; failures are reported in result->status and message.
void compute_pi(int32_t digits, BenchmarkResult* result, ProgressCallback callback, void* user);

// Receives the computed value of pi (n words in radix R) after the timed part
// of a computation has ended, before its buffers are released.
typedef void (*PiDigitSink)(const BigFloat* pi, int32_t n, int32_t R, void* user);

// compute_pi with a sink for the value, shared among `parallel` threads
// (1 ... kTeamMaxMembers of fft/team.h; the calling thread and parallel - 1
// threads started for the call): the same digits, and every intermediate
// value, as on one thread. parallel 1 with a null sink is exactly
// compute_pi. The sink's time is not part of the result.
void compute_pi_with_sink(int32_t digits, int32_t parallel, BenchmarkResult* result, ProgressCallback callback,
                          void* user, PiDigitSink sink, void* sink_user);

// How many of a computation's `reported` digits are guaranteed correct. The
// last words of the result carry the rounding of the Newton iterations,
// amplified by the scaling of the AGM state: at large lengths the error
// reaches a few units of the fourth-last digit of the reported count, so
// the last 8 digits are not guaranteed (2 for short computations).
uint32_t pi_guaranteed_digits(uint32_t reported);

// Milliseconds of an elapsed-time clock (whole milliseconds, monotonic).
double morlant_clock_ms();

#endif  // MORLANT_BIGNUM_COMPUTE_PI_H
