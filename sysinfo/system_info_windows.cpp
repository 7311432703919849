// The machine facts on Windows: registry for the processor's name and
// nominal frequency, the system calls for processors, cores and memory, and
// RtlGetVersion (found at run time) for the true OS version, all through a
// WindowsProbeApi (system_info_windows_api.cpp has the real one).
#include "sysinfo/system_info_windows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kProcessorKey = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

// Counts the RelationProcessorCore entries lying wholly within `length` bytes.
int32_t count_cores(const WindowsProbeApi* api) {
  DWORD length = 0;
  if (api->get_logical_processor_information(nullptr, &length) || api->get_last_error() != ERROR_INSUFFICIENT_BUFFER)
    return 0;
  auto* buffer = static_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION*>(std::malloc(length));
  if (buffer == nullptr) return 0;
  int32_t cores = 0;
  if (api->get_logical_processor_information(buffer, &length)) {
    const size_t entries = length / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION);
    for (size_t i = 0; i < entries; ++i)
      if (buffer[i].Relationship == RelationProcessorCore) ++cores;
  }
  std::free(buffer);
  return cores;
}

}  // namespace

void trim_processor_name(char* name, size_t size) {
  if (size == 0) return;
  name[size - 1] = '\0';
  size_t start = 0;
  while (name[start] == ' ' || name[start] == '\t') ++start;
  if (start > 0) std::memmove(name, name + start, std::strlen(name + start) + 1);
  size_t end = std::strlen(name);
  while (end > 0 && (name[end - 1] == ' ' || name[end - 1] == '\t')) name[--end] = '\0';
}

void query_system_info_with(const WindowsProbeApi* api, SystemInfo* info) {
  if (info == nullptr) return;
  std::memset(info, 0, sizeof *info);

  HKEY key = nullptr;
  if (api->reg_open_key(HKEY_LOCAL_MACHINE, kProcessorKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    // Read through a larger buffer: a stored name that does not fit the
    // field, or lacks its terminator, still gives a terminated text (cut to
    // the field) instead of overrunning or leaving the field undefined.
    // A value the API reports as of another type than the expected one is
    // not taken.
    char name[1024];
    DWORD bytes = sizeof name - 1, type = REG_SZ;
    if (api->reg_query_value(key, "ProcessorNameString", nullptr, &type, reinterpret_cast<BYTE*>(name), &bytes) ==
            ERROR_SUCCESS &&
        type == REG_SZ && bytes < sizeof name) {
      name[bytes] = '\0';
      std::snprintf(info->cpu_name, sizeof info->cpu_name, "%s", name);  // cut to the field, terminated
    }
    trim_processor_name(info->cpu_name, sizeof info->cpu_name);
    DWORD mhz = 0, mhz_bytes = sizeof mhz;
    type = REG_DWORD;
    if (api->reg_query_value(key, "~MHz", nullptr, &type, reinterpret_cast<BYTE*>(&mhz), &mhz_bytes) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && mhz_bytes == sizeof mhz && mhz <= INT32_MAX)
      info->cpu_mhz = static_cast<int32_t>(mhz);
    api->reg_close_key(key);
  }

  SYSTEM_INFO system{};
  api->get_system_info(&system);
  if (system.dwNumberOfProcessors <= INT32_MAX)
    info->logical_processors = static_cast<int32_t>(system.dwNumberOfProcessors);
  info->physical_cores = count_cores(api);
  if (info->physical_cores == 0) info->physical_cores = info->logical_processors;

  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof memory;
  if (api->global_memory_status(&memory)) info->total_memory_mb = static_cast<int64_t>(memory.ullTotalPhys >> 20);

  std::snprintf(info->os_name, sizeof info->os_name, "%s", "Windows");
  RTL_OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (api->rtl_get_version(&version) == 0)
    std::snprintf(info->os_version, sizeof info->os_version, "%lu.%lu.%lu",
                  static_cast<unsigned long>(version.dwMajorVersion),
                  static_cast<unsigned long>(version.dwMinorVersion),
                  static_cast<unsigned long>(version.dwBuildNumber));

  // The architecture this executable was built for, which is what the field
  // reports (an x64 build running emulated on ARM64 says "x64").
  std::snprintf(info->architecture, sizeof info->architecture, "%s", morlant_build_architecture());
}
