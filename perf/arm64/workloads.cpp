// Fixed workloads for counting executed aarch64 instructions under qemu-user
// (scripts/perf.sh arm64):
//
//   arm64_workloads fft REPS   forward + inverse fft_complex_transform of 2^21 doubles
//   arm64_workloads mul REPS   big_mul of two random numbers at the benchmark's length
//                              (8,388,608 digits: L = 2^21, n = L + 2 words, R = 10000)
//   arm64_workloads pi REPS    compute_pi to 1,048,576 digits
//
// Everything but the workload (allocation, filling the operands) runs the same
// whatever REPS is, and nothing value-dependent is printed, so the count of a
// run with REPS = 1 less that of a run with REPS = 0 is the workload's alone.
// Buffers are allocated as compute_pi allocates them: one malloc per record
// and per transform array of n doubles.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bignum/big_mul.h"
#include "bignum/compute_pi.h"
#include "fft/fft.h"

namespace {

// xorshift64: the same operands in every run.
uint64_t next(uint64_t& s) {
  s ^= s << 13;
  s ^= s >> 7;
  s ^= s << 17;
  return s;
}

int run_fft(int reps) {
  const int32_t n = int32_t{1} << 21;
  double* data = static_cast<double*>(std::malloc(sizeof(double) * static_cast<std::size_t>(n)));
  if (data == nullptr) return 1;
  uint64_t s = 0x9E3779B97F4A7C15u;
  for (int32_t i = 0; i < n; ++i) data[i] = static_cast<double>(next(s) >> 11) * 0x1p-52 - 1.0;
  for (int r = 0; r < reps; ++r) {
    fft_complex_transform(n, 1, data);
    fft_complex_transform(n, -1, data);
  }
  std::free(data);
  return 0;
}

// A full-length number: n random words in radix R, the first non-zero.
void random_number(int32_t n, int32_t R, uint64_t& s, BigFloat* x) {
  x->sign = 1;
  x->exponent = 0;
  for (int32_t i = 0; i < n; ++i) x->digits[i] = static_cast<uint16_t>(next(s) % static_cast<uint64_t>(R));
  if (x->digits[0] == 0) x->digits[0] = 1;
}

// The words, radix and transform length compute_pi takes for 8,388,608
// digits: L = 2^21 (the smallest power of two >= digits/4), n = L + 2.
int run_mul(int reps) {
  const int32_t L = int32_t{1} << 21;
  const int32_t n = L + 2;
  const int32_t R = 10000;
  const std::size_t record = big_record_bytes(n);
  const std::size_t array = sizeof(double) * static_cast<std::size_t>(n);
  BigFloat* a = static_cast<BigFloat*>(std::malloc(record));
  BigFloat* b = static_cast<BigFloat*>(std::malloc(record));
  BigFloat* out = static_cast<BigFloat*>(std::malloc(record));
  BigFloat* tmp = static_cast<BigFloat*>(std::malloc(record));
  double* P = static_cast<double*>(std::malloc(array));
  double* Q = static_cast<double*>(std::malloc(array));
  double* S = static_cast<double*>(std::malloc(array));
  int status = 1;
  if (a && b && out && tmp && P && Q && S) {
    uint64_t s = 0x2545F4914F6CDD1Du;
    random_number(n, R, s, a);
    random_number(n, R, s, b);
    const ProductScratch scratch = {L, P, Q, S, tmp};
    for (int r = 0; r < reps; ++r) big_mul(n, R, a, b, out, &scratch);
    status = reps > 0 && out->sign != 1 ? 1 : 0;
  }
  std::free(S);
  std::free(Q);
  std::free(P);
  std::free(tmp);
  std::free(out);
  std::free(b);
  std::free(a);
  return status;
}

int run_pi(int reps) {
  for (int r = 0; r < reps; ++r) {
    BenchmarkResult result;
    compute_pi(1048576, &result, nullptr, nullptr);
    if (result.status != 1) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: arm64_workloads fft|mul|pi REPS\n");
    return 2;
  }
  const int reps = std::atoi(argv[2]);
  if (std::strcmp(argv[1], "fft") == 0) return run_fft(reps);
  if (std::strcmp(argv[1], "mul") == 0) return run_mul(reps);
  if (std::strcmp(argv[1], "pi") == 0) return run_pi(reps);
  std::fprintf(stderr, "unknown workload: %s\n", argv[1]);
  return 2;
}
