// The real platform functions behind the Windows probe. Kept apart from the
// probe's logic (system_info_windows.cpp), which tests and the fuzz target
// run over functions of their own.
#include "sysinfo/system_info_windows.h"

namespace {

LONG WINAPI no_rtl_get_version(PRTL_OSVERSIONINFOW) { return -1; }

}  // namespace

WindowsProbeApi windows_probe_api() {
  WindowsProbeApi api{RegOpenKeyExA, RegQueryValueExA, RegCloseKey, GetSystemInfo, GetLogicalProcessorInformation,
                      GetLastError, GlobalMemoryStatusEx, no_rtl_get_version};
  if (HMODULE ntdll = GetModuleHandleA("ntdll.dll")) {
    if (FARPROC f = GetProcAddress(ntdll, "RtlGetVersion"))
      api.rtl_get_version = reinterpret_cast<LONG(WINAPI*)(PRTL_OSVERSIONINFOW)>(reinterpret_cast<void*>(f));
  }
  return api;
}

void query_system_info(SystemInfo* info) {
  const WindowsProbeApi api = windows_probe_api();
  query_system_info_with(&api, info);
}
