// Text parsing behind the Linux probe: each function takes the contents of a
// system file as a string, so that the parsing can be checked on fixed texts.
#ifndef MORLANT_SYSINFO_SYSTEM_INFO_PARSE_H
#define MORLANT_SYSINFO_SYSTEM_INFO_PARSE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Length of the longest prefix of text of at most max bytes that does not end
// inside a UTF-8 multi-byte sequence.
std::size_t sysinfo_utf8_prefix(std::string_view text, std::size_t max);

// Copies text into out (size >= 1 bytes) without its leading and trailing
// blanks and tabs; a text that does not fit is cut at a character boundary
// (and trimmed again). out is always NUL-terminated.
void sysinfo_copy_trimmed(std::string_view text, char* out, std::size_t size);

// The value of the first "key : value" line of a /proc/cpuinfo text whose key
// is exactly `key` (blanks and tabs around key and value do not count).
// Returns false when there is no such line.
bool sysinfo_cpuinfo_value(std::string_view cpuinfo, std::string_view key, std::string* value);

// The processor's name: "model name"; else a non-numeric "Processor", "cpu
// model" or "Hardware" line; else the device-tree model (may end in NUL);
// else "CPU implementer 0x.., part 0x..". Empty when none of them exists.
std::string sysinfo_cpu_name(std::string_view cpuinfo, std::string_view device_tree_model);

// Number of distinct (physical id, core id) pairs over the processor blocks
// of a /proc/cpuinfo text; 0 when a block has no core id (a missing physical
// id counts as package 0).
int32_t sysinfo_count_cores(std::string_view cpuinfo);

// Number of distinct (package, core) pairs.
int32_t sysinfo_count_distinct(std::vector<std::pair<int64_t, int64_t>> pairs);

// A frequency in kHz as a sysfs file holds it, in MHz rounded to nearest;
// 0 for a text that is not a whole number.
int32_t sysinfo_mhz_from_khz(std::string_view text);

// The "cpu MHz" line of /proc/cpuinfo rounded to a whole number; 0 without one.
int32_t sysinfo_cpuinfo_mhz(std::string_view cpuinfo);

// MemTotal of a /proc/meminfo text in MiB (kB >> 10); 0 without it.
int64_t sysinfo_meminfo_total_mb(std::string_view meminfo);

// The distribution's name from an os-release text: PRETTY_NAME, else NAME
// followed by VERSION_ID; shell quoting and escapes undone. Empty without.
std::string sysinfo_os_release_name(std::string_view os_release);

// "<distribution>, kernel <release>" into out (size >= 1 bytes), always
// terminated; either part may be empty. When the text does not fit, the
// distribution's name is shortened first so that the kernel release stays,
// as long as the kernel part takes at most half the field; a longer kernel
// part is cut with the rest.
void sysinfo_format_os_version(std::string_view distribution, std::string_view kernel, char* out, std::size_t size);

#endif  // MORLANT_SYSINFO_SYSTEM_INFO_PARSE_H
