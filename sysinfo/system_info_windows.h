// The Windows probe's view of the platform, as a table of functions, so that
// tests can give it the answers of any machine (failures included). The
// program uses windows_probe_api(), the real calls.
#ifndef MORLANT_SYSINFO_SYSTEM_INFO_WINDOWS_H
#define MORLANT_SYSINFO_SYSTEM_INFO_WINDOWS_H

#include <windows.h>

#include "sysinfo/system_info.h"

struct WindowsProbeApi {
  LSTATUS(WINAPI* reg_open_key)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
  LSTATUS(WINAPI* reg_query_value)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
  LSTATUS(WINAPI* reg_close_key)(HKEY);
  void(WINAPI* get_system_info)(LPSYSTEM_INFO);
  BOOL(WINAPI* get_logical_processor_information)(PSYSTEM_LOGICAL_PROCESSOR_INFORMATION, PDWORD);
  DWORD(WINAPI* get_last_error)();
  BOOL(WINAPI* global_memory_status)(LPMEMORYSTATUSEX);
  // RtlGetVersion, or null when ntdll does not export it.
  LONG(WINAPI* rtl_get_version)(PRTL_OSVERSIONINFOW);
};

// The real platform functions (RtlGetVersion looked up in the loaded ntdll).
WindowsProbeApi windows_probe_api();

// query_system_info over the given functions.
void query_system_info_with(const WindowsProbeApi* api, SystemInfo* info);

// Removes leading and trailing blanks and tabs of a NUL-terminated name in
// place; the result is always terminated within `size` bytes (a name that
// filled the field without terminator loses its last byte).
void trim_processor_name(char* name, size_t size);

#endif  // MORLANT_SYSINFO_SYSTEM_INFO_WINDOWS_H
