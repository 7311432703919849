// Whether N computations at once fit in the machine's available memory.
#ifndef MORLANT_CLI_MEMORY_H
#define MORLANT_CLI_MEMORY_H

#include <cstdint>

// Bytes one computation of `digits` digits holds at its peak in
// morlant-cli: compute_pi's nine buffers (36 n + 48 bytes, n = transform
// length + 2) plus the run's decimal digits (at most 4 per word).
uint64_t cli_memory_per_computation(int32_t digits);

// Bytes `threads` computations need together: each one's own memory plus
// the one copy of the first verified run's digits they share.
uint64_t cli_memory_for_threads(int32_t digits, int32_t threads);

// Memory the machine has available now, in bytes (Linux: MemAvailable;
// Windows: available physical memory); -1 when unknown. The test hook
// MORLANT_CLI_AVAILABLE_MEMORY_MB=M states it as M MiB instead.
int64_t cli_available_memory_bytes();

#endif  // MORLANT_CLI_MEMORY_H
