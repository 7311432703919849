// The Windows probe over a scripted platform, and once on the real one.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sysinfo/system_info_windows.h"

namespace {

// What the scripted machine answers; every query can be made to fail.
struct Machine {
  bool key_opens = true, has_name = true, terminated = true, has_mhz = true;
  std::string name = "Fake CPU";  // stored with a terminator when `terminated`
  DWORD mhz = 3200, logical = 8;
  int core_entries = 8;
  bool cores_fail = false, memory_ok = true, has_version = true;
  DWORDLONG memory = 17179869184ull;
};
Machine machine;

LSTATUS WINAPI open_key(HKEY, LPCSTR path, DWORD, REGSAM, PHKEY out) {
  EXPECT_STREQ(path, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0");
  *out = reinterpret_cast<HKEY>(1);
  return machine.key_opens ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}
LSTATUS WINAPI query_value(HKEY, LPCSTR value, LPDWORD, LPDWORD, LPBYTE data, LPDWORD bytes) {
  if (std::strcmp(value, "~MHz") == 0) {
    if (!machine.has_mhz) return ERROR_FILE_NOT_FOUND;
    std::memcpy(data, &machine.mhz, 4);
    *bytes = 4;
    return ERROR_SUCCESS;
  }
  if (!machine.has_name) return ERROR_FILE_NOT_FOUND;
  const DWORD stored = static_cast<DWORD>(machine.name.size() + (machine.terminated ? 1 : 0));
  if (stored > *bytes) {
    *bytes = stored;
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, machine.name.c_str(), stored);
  *bytes = stored;
  return ERROR_SUCCESS;
}
LSTATUS WINAPI close_key(HKEY) { return ERROR_SUCCESS; }
void WINAPI system_info(LPSYSTEM_INFO info) { info->dwNumberOfProcessors = machine.logical; }
DWORD last_error = 0;
BOOL WINAPI processor_information(PSYSTEM_LOGICAL_PROCESSOR_INFORMATION buffer, PDWORD length) {
  // Cores interleaved with cache entries, as real machines report them.
  const DWORD needed = static_cast<DWORD>(2 * machine.core_entries) * sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION);
  if (machine.cores_fail) {
    last_error = ERROR_INVALID_FUNCTION;
    return FALSE;
  }
  if (buffer == nullptr || *length < needed) {
    *length = needed;
    last_error = ERROR_INSUFFICIENT_BUFFER;
    return FALSE;
  }
  for (int i = 0; i < 2 * machine.core_entries; ++i) {
    buffer[i] = {};
    buffer[i].Relationship = i % 2 == 0 ? RelationProcessorCore : RelationCache;
  }
  *length = needed;
  return TRUE;
}
DWORD WINAPI get_last_error() { return last_error; }
BOOL WINAPI memory_status(LPMEMORYSTATUSEX m) {
  EXPECT_EQ(m->dwLength, sizeof(MEMORYSTATUSEX));
  m->ullTotalPhys = machine.memory;
  return machine.memory_ok;
}
LONG WINAPI rtl_get_version(PRTL_OSVERSIONINFOW v) {
  EXPECT_EQ(v->dwOSVersionInfoSize, sizeof(RTL_OSVERSIONINFOW));
  v->dwMajorVersion = 10;
  v->dwMinorVersion = 0;
  v->dwBuildNumber = 26100;
  return 0;
}

SystemInfo probe(const Machine& m) {
  machine = m;
  WindowsProbeApi api{open_key, query_value, close_key, system_info, processor_information, get_last_error,
                      memory_status, rtl_get_version};
  if (!m.has_version) api.rtl_get_version = [](PRTL_OSVERSIONINFOW) -> LONG { return -1; };
  SystemInfo info;
  std::memset(&info, 0x5a, sizeof info);
  query_system_info_with(&api, &info);
  return info;
}

TEST(SysInfoWindows, FactsOfAScriptedMachine) {
  SystemInfo info = probe(Machine{});
  EXPECT_STREQ(info.cpu_name, "Fake CPU");
  EXPECT_EQ(info.cpu_mhz, 3200);
  EXPECT_EQ(info.logical_processors, 8);
  EXPECT_EQ(info.total_memory_mb, 16384);
  EXPECT_STREQ(info.os_name, "Windows");
  EXPECT_STREQ(info.os_version, "10.0.26100");
  EXPECT_STREQ(info.architecture, morlant_build_architecture());  // the program's own, not the machine's
  Machine m;
  m.memory = 17179869183ull;
  m.logical = 16;
  info = probe(m);
  EXPECT_EQ(info.total_memory_mb, 16383);
  EXPECT_EQ(info.physical_cores, 8);  // cores counted, not logical processors
}

TEST(SysInfoWindows, EachFailedQueryKeepsItsDefault) {
  Machine m;
  m.key_opens = false;
  SystemInfo info = probe(m);
  EXPECT_TRUE(info.cpu_name[0] == '\0' && info.cpu_mhz == 0);
  m = Machine{};
  m.has_mhz = m.has_name = false;
  info = probe(m);
  EXPECT_TRUE(info.cpu_name[0] == '\0' && info.cpu_mhz == 0);
  m = Machine{};
  m.cores_fail = true;
  EXPECT_EQ(probe(m).physical_cores, 8);  // the logical count instead
  m = Machine{};
  m.memory_ok = m.has_version = false;
  info = probe(m);
  EXPECT_EQ(info.total_memory_mb, 0);
  EXPECT_STREQ(info.os_name, "Windows");
  EXPECT_STREQ(info.os_version, "");
}

TEST(SysInfoWindows, ProcessorNameIsTrimmedAndAlwaysTerminated) {
  const struct {
    std::string stored;
    bool terminated;
    std::string want;
  } cases[] = {
      {"  Fake \t CPU \t ", true, "Fake \t CPU"},
      {"\tX", false, "X"},                                    // no terminator stored
      {std::string(127, 'a'), false, std::string(127, 'a')},  // exactly the field, unterminated
      {std::string(300, 'b'), true, std::string(127, 'b')},   // longer than the field: cut
      {std::string(5000, 'c'), true, ""},                     // beyond any sensible length: empty
  };
  for (const auto& c : cases) {
    Machine m;
    m.name = c.stored;
    m.terminated = c.terminated;
    const SystemInfo info = probe(m);
    ASSERT_NE(std::memchr(info.cpu_name, '\0', sizeof info.cpu_name), nullptr);
    EXPECT_EQ(std::string(info.cpu_name), c.want) << "stored " << c.stored.size() << " bytes";
  }
}

TEST(SysInfoWindows, RealProbeFillsEveryField) {
  query_system_info(nullptr);
  SystemInfo info;
  std::memset(&info, 0x5a, sizeof info);
  query_system_info(&info);
  EXPECT_GT(info.logical_processors, 0);
  EXPECT_GT(info.physical_cores, 0);
  EXPECT_GT(info.total_memory_mb, 0);
  EXPECT_STREQ(info.os_name, "Windows");
  EXPECT_NE(std::memchr(info.cpu_name, '\0', sizeof info.cpu_name), nullptr);
  EXPECT_NE(std::memchr(info.os_version, '\0', sizeof info.os_version), nullptr);
  EXPECT_STRNE(info.os_version, "");
}

}  // namespace
