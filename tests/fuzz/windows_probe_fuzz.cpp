// query_system_info_with over a WindowsProbeApi whose functions answer from
// the input: registry values of any type and size (unterminated strings, odd
// sizes, ERROR_MORE_DATA), processor information of any length, version
// numbers, and failures of every call. Built natively with Wine's headers.
#include <fuzzer/FuzzedDataProvider.h>

#include "sysinfo/system_info_windows.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

FuzzedDataProvider* in;  // the current input
HKEY const kKey = reinterpret_cast<HKEY>(0x4b4559);
struct Answers {  // what the functions answered, as the probe should report it
  bool key_open = false;
  DWORD last_error = 0, mhz = 0, processors = 0;  // ~MHz when it was a DWORD; dwNumberOfProcessors
  std::string name, version;                      // ProcessorNameString when it was a string; "major.minor.build"
  int32_t cores = 0;                              // RelationProcessorCore entries handed out
  int64_t memory_mb = 0;
} a;

LSTATUS failure() {
  static const LSTATUS kFailures[] = {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_MORE_DATA, ERROR_INVALID_HANDLE};
  return kFailures[in->ConsumeIntegralInRange<size_t>(0, 3)];
}

LSTATUS WINAPI reg_open_key(HKEY root, LPCSTR, DWORD, REGSAM, PHKEY key) {
  FUZZ_CHECK(root == HKEY_LOCAL_MACHINE && !a.key_open);
  if (in->ConsumeBool()) return failure();
  *key = kKey;
  a.key_open = true;
  return ERROR_SUCCESS;
}

LSTATUS WINAPI reg_query_value(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  FUZZ_CHECK(key == kKey && a.key_open && reserved == nullptr && size != nullptr);
  static const DWORD kTypes[] = {REG_SZ, REG_DWORD, REG_EXPAND_SZ, REG_BINARY, REG_QWORD, REG_MULTI_SZ, REG_NONE};
  const DWORD value_type = kTypes[in->ConsumeIntegralInRange<size_t>(0, 6)];
  const std::string value = in->ConsumeRandomLengthString(1100);
  if (in->ConsumeIntegralInRange(0, 7) == 0) return failure();
  if (type != nullptr) *type = value_type;
  const bool fits = data == nullptr || value.size() <= *size;  // else the buffer's contents are undefined
  if (data != nullptr && fits) std::memcpy(data, value.data(), value.size());
  if (data != nullptr && !fits) std::memset(data, 0xA5, *size);
  *size = static_cast<DWORD>(value.size());
  if (!fits) return ERROR_MORE_DATA;
  if (std::strcmp(name, "ProcessorNameString") == 0 && value_type == REG_SZ) a.name = value;
  if (std::strcmp(name, "~MHz") == 0 && value_type == REG_DWORD && value.size() == sizeof a.mhz)
    std::memcpy(&a.mhz, value.data(), sizeof a.mhz);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI reg_close_key(HKEY key) {
  FUZZ_CHECK(key == kKey && a.key_open);
  a.key_open = false;
  return ERROR_SUCCESS;
}

void WINAPI get_system_info(LPSYSTEM_INFO info) {
  std::memset(info, 0, sizeof *info);
  in->ConsumeData(info, sizeof *info);
  a.processors = info->dwNumberOfProcessors;
}

// As Windows answers: the length needed when the buffer is too small, else
// the entries; between the calls the machine may change.
BOOL WINAPI get_logical_processor_information(PSYSTEM_LOGICAL_PROCESSOR_INFORMATION buffer, PDWORD length) {
  FUZZ_CHECK(length != nullptr && (buffer != nullptr || *length == 0));
  if (in->ConsumeIntegralInRange(0, 7) == 0) {
    a.last_error = in->ConsumeBool() ? ERROR_INVALID_PARAMETER : in->ConsumeIntegral<DWORD>();
    return FALSE;
  }
  const DWORD needed = in->ConsumeIntegralInRange<DWORD>(0, 64 * sizeof *buffer + 7);
  if (buffer == nullptr || *length < needed) {
    *length = needed;
    a.last_error = ERROR_INSUFFICIENT_BUFFER;
    return FALSE;
  }
  std::memset(buffer, 0, needed);
  in->ConsumeData(buffer, needed);
  a.cores = 0;
  for (DWORD i = 0; i < needed / sizeof *buffer; ++i) {
    buffer[i].Relationship = static_cast<LOGICAL_PROCESSOR_RELATIONSHIP>(in->ConsumeIntegralInRange(0, 7));
    a.cores += buffer[i].Relationship == RelationProcessorCore;
  }
  *length = needed;
  return TRUE;
}

DWORD WINAPI get_last_error() { return a.last_error; }

BOOL WINAPI global_memory_status(LPMEMORYSTATUSEX status) {
  FUZZ_CHECK(status->dwLength == sizeof *status);
  if (!in->ConsumeBool()) return FALSE;
  status->ullTotalPhys = in->ConsumeIntegral<DWORDLONG>();
  status->ullAvailPhys = in->ConsumeIntegralInRange<DWORDLONG>(0, status->ullTotalPhys);
  a.memory_mb = static_cast<int64_t>(status->ullTotalPhys >> 20);
  return TRUE;
}

LONG WINAPI rtl_get_version(PRTL_OSVERSIONINFOW info) {
  FUZZ_CHECK(info->dwOSVersionInfoSize == sizeof *info);
  if (!in->ConsumeBool()) return static_cast<LONG>(0xC0000001);  // STATUS_UNSUCCESSFUL
  info->dwMajorVersion = in->ConsumeIntegral<DWORD>();
  info->dwMinorVersion = in->ConsumeIntegral<DWORD>();
  info->dwBuildNumber = in->ConsumeIntegral<DWORD>();
  a.version = std::to_string(info->dwMajorVersion) + "." + std::to_string(info->dwMinorVersion) + "." +
              std::to_string(info->dwBuildNumber);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  in = &provider;
  a = Answers{};
  const WindowsProbeApi api{reg_open_key, reg_query_value, reg_close_key, get_system_info,
                            get_logical_processor_information, get_last_error, global_memory_status, rtl_get_version};
  SystemInfo info;
  std::memset(&info, 0x5f, sizeof info);
  query_system_info_with(&api, &info);

  FUZZ_CHECK(!a.key_open);
  auto ends = [](const auto& field) { return terminated(field, sizeof field); };
  FUZZ_CHECK(ends(info.cpu_name) && ends(info.os_name) && ends(info.os_version) && ends(info.architecture));
  // The name: the string value up to its first NUL, cut to the field, trimmed.
  FUZZ_CHECK(info.cpu_name == trimmed(std::string_view(a.name.c_str()).substr(0, sizeof info.cpu_name - 1)));
  FUZZ_CHECK(info.cpu_mhz == (a.mhz <= INT32_MAX ? static_cast<int32_t>(a.mhz) : 0));
  FUZZ_CHECK(info.logical_processors == (a.processors <= INT32_MAX ? static_cast<int32_t>(a.processors) : 0));
  FUZZ_CHECK(info.physical_cores == (a.cores > 0 ? a.cores : info.logical_processors) && info.physical_cores >= 0);
  FUZZ_CHECK(info.total_memory_mb == a.memory_mb);
  FUZZ_CHECK(info.os_version == a.version && std::string_view(info.os_name) == "Windows");
  FUZZ_CHECK(std::string_view(info.architecture) == morlant_build_architecture());
  return 0;
}
