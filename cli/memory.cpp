#include "cli/memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bignum/compute_pi.h"

#ifdef _WIN32
#include <windows.h>
#endif

uint64_t cli_memory_per_computation(int32_t digits, int32_t parallel) {
  const uint64_t length = static_cast<uint64_t>(pi_transform_length(digits));
  const uint64_t team_threads = static_cast<uint64_t>(parallel > 1 ? parallel - 1 : 0);
  return 36 * (length + 2) + 48 + 4 * length + CLI_MEMORY_PER_TEAM_THREAD * team_threads;
}

uint64_t cli_memory_for_threads(int32_t digits, int32_t threads, int32_t parallel) {
  return cli_memory_per_computation(digits, parallel) * static_cast<uint64_t>(threads > 0 ? threads : 0) +
         4 * static_cast<uint64_t>(pi_transform_length(digits));
}

int64_t cli_available_memory_bytes() {
  if (const char* stated = std::getenv("MORLANT_CLI_AVAILABLE_MEMORY_MB")) {
    char* end = nullptr;
    const long long mb = std::strtoll(stated, &end, 10);
    if (end != stated && *end == '\0' && mb >= 0) return static_cast<int64_t>(mb) << 20;
  }
#ifdef _WIN32
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status) == 0) return -1;
  return static_cast<int64_t>(status.ullAvailPhys);
#else
  std::FILE* info = std::fopen("/proc/meminfo", "r");
  if (info == nullptr) return -1;
  char line[256];
  int64_t bytes = -1;
  while (std::fgets(line, sizeof line, info) != nullptr) {
    long long kb = 0;
    if (std::sscanf(line, "MemAvailable: %lld kB", &kb) == 1) {
      bytes = static_cast<int64_t>(kb) * 1024;
      break;
    }
  }
  std::fclose(info);
  return bytes;
#endif
}
