// Whether N computations at once, each on one thread or shared by several,
// fit in the machine's available memory.
#ifndef MORLANT_CLI_MEMORY_H
#define MORLANT_CLI_MEMORY_H

#include <cstdint>

// What one more thread of a computation shared by `parallel` threads costs:
// the committed part of its stack and the C library's per-thread state. The
// team's threads keep their working data in the computation's buffers, so
// this is small: the peak resident set of a run of 8,388,608 digits on
// Linux grew by 108 KiB for a second thread and by 364 KiB for three more
// (about 121 KiB each); 128 KiB covers that.
constexpr uint64_t CLI_MEMORY_PER_TEAM_THREAD = 128 * 1024;

// Bytes one computation of `digits` digits on `parallel` threads holds at
// its peak in morlant-cli: compute_pi's nine buffers (36 n + 48 bytes, n =
// transform length + 2), the run's decimal digits (at most 4 per word) and
// the stacks of the parallel - 1 threads that share the computation.
uint64_t cli_memory_per_computation(int32_t digits, int32_t parallel);

// Bytes `threads` computations on `parallel` threads each need together:
// each one's own memory plus the one copy of the first verified run's
// digits they share.
uint64_t cli_memory_for_threads(int32_t digits, int32_t threads, int32_t parallel);

// Memory the machine has available now, in bytes (Linux: MemAvailable;
// Windows: available physical memory); -1 when unknown. The test hook
// MORLANT_CLI_AVAILABLE_MEMORY_MB=M states it as M MiB instead.
int64_t cli_available_memory_bytes();

#endif  // MORLANT_CLI_MEMORY_H
