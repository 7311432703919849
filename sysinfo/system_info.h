// Facts about the machine shown next to a benchmark result: processor,
// cores, clock frequency, memory, operating system and architecture.
#ifndef MORLANT_SYSINFO_SYSTEM_INFO_H
#define MORLANT_SYSINFO_SYSTEM_INFO_H

#include <cstdint>

// Plain data, zeroed as a whole before it is filled. Every text field is a
// NUL-terminated UTF-8 byte string within its size.
struct SystemInfo {
  char cpu_name[128];          // processor name, blanks and tabs trimmed; empty when unknown
  int32_t physical_cores;      // equal to logical_processors when unknown
  int32_t logical_processors;  // 0 when unknown
  int32_t cpu_mhz;             // nominal clock frequency; 0 when unknown
  int64_t total_memory_mb;     // installed physical memory in MiB (bytes >> 20); 0 when unknown
  char os_name[64];            // operating system family
  char os_version[64];         // its version; empty when unknown
  char architecture[32];       // the architecture the program was built for
};

// Fills *info with this machine's facts; nothing happens for a null pointer.
// Never fails as a whole: a fact that cannot be learnt keeps its default.
void query_system_info(SystemInfo* info);

// The architecture this executable was compiled for: "arm64", "x64", "x86",
// "arm", "riscv64" or "unknown".
const char* morlant_build_architecture();

#endif  // MORLANT_SYSINFO_SYSTEM_INFO_H
