// The Windows probe over a scripted platform: each query answering or
// failing. (The processor name's every form is the probe's fuzz target; the
// real platform is read by morlant-cli's end-to-end tests.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sysinfo/system_info_windows.h"

namespace {

// What the scripted machine answers; every query can be made to fail.
struct Machine {
  bool key_opens = true, has_name = true, has_mhz = true;
  std::string name = "Fake CPU";  // stored with its terminator
  DWORD mhz = 3200, logical = 8;  // and 8 cores
  bool cores_fail = false, memory_ok = true, has_version = true;
  DWORDLONG memory = 17179869184ull;
};
Machine machine;
DWORD last_error = 0;

LSTATUS WINAPI open_key(HKEY, LPCSTR path, DWORD, REGSAM, PHKEY out) {
  EXPECT_STREQ(path, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0");
  *out = reinterpret_cast<HKEY>(1);
  return machine.key_opens ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}
LSTATUS WINAPI query_value(HKEY, LPCSTR value, LPDWORD, LPDWORD, LPBYTE data, LPDWORD bytes) {
  const bool mhz = std::strcmp(value, "~MHz") == 0;
  if (!(mhz ? machine.has_mhz : machine.has_name)) return ERROR_FILE_NOT_FOUND;
  const DWORD stored = mhz ? 4 : static_cast<DWORD>(machine.name.size() + 1);
  const bool fits = stored <= *bytes;
  if (fits) std::memcpy(data, mhz ? static_cast<const void*>(&machine.mhz) : machine.name.c_str(), stored);
  *bytes = stored;
  return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
}
LSTATUS WINAPI close_key(HKEY) { return ERROR_SUCCESS; }
void WINAPI system_info(LPSYSTEM_INFO info) { info->dwNumberOfProcessors = machine.logical; }
BOOL WINAPI processor_information(PSYSTEM_LOGICAL_PROCESSOR_INFORMATION buffer, PDWORD length) {
  // Cores interleaved with cache entries, as real machines report them.
  const DWORD needed = 16 * sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION);
  last_error = machine.cores_fail ? ERROR_INVALID_FUNCTION : ERROR_INSUFFICIENT_BUFFER;
  if (machine.cores_fail) return FALSE;
  const bool fits = buffer != nullptr && *length >= needed;
  for (int i = 0; fits && i < 16; ++i) buffer[i] = {0, i % 2 == 0 ? RelationProcessorCore : RelationCache, {}};
  *length = needed;
  return fits;
}
DWORD WINAPI get_last_error() { return last_error; }
BOOL WINAPI memory_status(LPMEMORYSTATUSEX m) {
  EXPECT_EQ(m->dwLength, sizeof(MEMORYSTATUSEX));
  m->ullTotalPhys = machine.memory;
  return machine.memory_ok;
}
LONG WINAPI rtl_get_version(PRTL_OSVERSIONINFOW v) {
  EXPECT_EQ(v->dwOSVersionInfoSize, sizeof(RTL_OSVERSIONINFOW));
  v->dwMajorVersion = 10, v->dwMinorVersion = 0, v->dwBuildNumber = 26100;
  return machine.has_version ? 0 : -1;
}

TEST(SysInfoWindows, ScriptedMachinesAndFailedQueriesKeepTheirDefaults) {
  const struct {
    const char* name;
    void (*change)(Machine&);
    std::string cpu = "Fake CPU";
    int32_t mhz = 3200, cores = 8;
    int64_t memory_mb = 16384;
    const char* version = "10.0.26100";
  } cases[] = {
      {"every query answers", [](Machine&) {}},
      {"cores counted, not logical processors; memory rounded down",
       [](Machine& m) { m.logical = 16, m.memory = 17179869183ull; }, "Fake CPU", 3200, 8, 16383},
      {"no processor key", [](Machine& m) { m.key_opens = false; }, "", 0},
      {"no name, no frequency", [](Machine& m) { m.has_name = m.has_mhz = false; }, "", 0},
      {"cores unknown: the logical count", [](Machine& m) { m.cores_fail = true, m.logical = 12; }, "Fake CPU", 3200, 12},
      {"no memory, no version", [](Machine& m) { m.memory_ok = m.has_version = false; }, "Fake CPU", 3200, 8, 0, ""},
      {"a name to trim", [](Machine& m) { m.name = "  Fake \t CPU \t "; }, "Fake \t CPU"},
  };
  query_system_info(nullptr);  // the real probe ignores a null record
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    machine = Machine{};
    c.change(machine);
    const WindowsProbeApi api{open_key, query_value, close_key, system_info, processor_information, get_last_error,
                              memory_status, rtl_get_version};
    SystemInfo info;
    std::memset(&info, 0x5a, sizeof info);
    query_system_info_with(&api, &info);
    ASSERT_NE(std::memchr(info.cpu_name, '\0', sizeof info.cpu_name), nullptr);
    EXPECT_EQ(info.cpu_name, c.cpu);
    EXPECT_TRUE(info.cpu_mhz == c.mhz && info.physical_cores == c.cores && info.total_memory_mb == c.memory_mb)
        << info.cpu_mhz << " MHz, " << info.physical_cores << " cores, " << info.total_memory_mb << " MB";
    EXPECT_EQ(info.logical_processors, static_cast<int32_t>(machine.logical));
    EXPECT_STREQ(info.os_name, "Windows");
    EXPECT_STREQ(info.os_version, c.version);
    EXPECT_STREQ(info.architecture, morlant_build_architecture());  // the program's own, not the machine's
  }
}

}  // namespace
