// The target architecture, decided by the compiler's predefined macros.
#include "sysinfo/system_info.h"

const char* morlant_build_architecture() {
#if defined(__aarch64__) || defined(_M_ARM64) || defined(_M_ARM64EC)
  return "arm64";
#elif defined(__x86_64__) || defined(_M_X64) || defined(_M_AMD64)
  return "x64";
#elif defined(__i386__) || defined(_M_IX86)
  return "x86";
#elif defined(__arm__) || defined(_M_ARM)
  return "arm";
#elif defined(__riscv) && defined(__riscv_xlen) && __riscv_xlen == 64
  return "riscv64";
#else
  return "unknown";
#endif
}
