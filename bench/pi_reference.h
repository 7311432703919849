// Reference digests of pi's decimal expansion, carried by the program so
// that a computation's digits can be checked without the digits themselves
// (bench/verify.h).
#ifndef MORLANT_BENCH_PI_REFERENCE_H
#define MORLANT_BENCH_PI_REFERENCE_H

#include <cstddef>
#include <cstdint>

// One computation size: transform length 2^log2_length with digits_per_word
// decimal digits per word guarantees guaranteed_digits digits; digest is
// pi_digest of pi's first guaranteed_digits significant digits ("31415...").
struct PiReference {
  int32_t log2_length;
  int32_t digits_per_word;
  uint64_t guaranteed_digits;
  uint64_t digest;
};

// 64-bit FNV-1a of count bytes: h = 14695981039346656037, then for each byte
// h ^= byte, h *= 1099511628211 (the table is generated with the same
// function, scripts/gen_pi_digests.c).
uint64_t pi_digest(const char* digits, uint64_t count);

// The entry for a computation of transform length `length` (as
// pi_transform_length gives it) with digits_per_word digits per word, or null
// when the table has none.
const PiReference* pi_reference_for_length(int32_t length, int32_t digits_per_word);

// The whole table (count entries).
const PiReference* pi_reference_table(std::size_t* count);

#endif  // MORLANT_BENCH_PI_REFERENCE_H
