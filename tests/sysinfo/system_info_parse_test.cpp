// The Linux probe's parsing on fixed texts: exact values from cpuinfo of x86
// and ARM machines, meminfo, os-release, and the bounded text fields (the
// fuzz targets check the parsers' properties on arbitrary texts); then the
// probe on this machine, whose facts morlant-cli's end-to-end tests check.
#include "sysinfo/system_info_parse.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "sysinfo/system_info.h"

namespace {

// Two packages x two cores x two threads; the first block alone has the
// frequency and a padded name.
const std::string kCpuinfoX86 = [] {
  std::string s;
  for (int p = 0; p < 8; ++p) {
    s += "processor\t: " + std::to_string(p) + "\nmodel name\t: " + (p ? "" : "  ") +
         "Testcorp(R) T9-4200 CPU @ 3.00GHz" + (p ? "" : "  \ncpu MHz\t\t: 2999.501") +
         "\nphysical id\t: " + std::to_string(p / 4) + "\ncore id\t\t: " + std::to_string(p / 2 % 2) + "\n\n";
  }
  return s;
}();

// A 64-bit ARM machine: no model name, no core topology, no frequency.
const std::string kCpuinfoArm64 =
    "processor\t: 0\nBogoMIPS\t: 108.00\nFeatures\t: fp asimd aes\nCPU implementer\t: 0x41\nCPU architecture: 8\n"
    "CPU variant\t: 0x3\nCPU part\t: 0xd0c\nCPU revision\t: 1\n\nprocessor\t: 1\nBogoMIPS\t: 108.00\n"
    "CPU implementer\t: 0x41\nCPU part\t: 0xd0c\n\n";

// An older 32-bit ARM kernel: a "Processor" line and a trailing "Hardware" block.
const std::string kCpuinfoArm32 =
    "Processor\t: ARMv7 Processor rev 4 (v7l)\nprocessor\t: 0\nBogoMIPS\t: 38.40\n\n"
    "processor\t: 1\nBogoMIPS\t: 38.40\n\nHardware\t: Example SoC 2000\nRevision\t: 0000\n";

// Writes into a buffer of `size` bytes (with poisoned bytes beyond) and
// checks that the text ends within it.
template <typename Write>
std::string bounded(std::size_t size, Write write) {
  std::string out(size + 8, '\x7f');
  write(out.data(), size);
  EXPECT_NE(std::memchr(out.data(), '\0', size), nullptr) << "not terminated within " << size;
  return out.c_str();
}

TEST(SysInfoParse, CopyTrimmedRemovesBlanksAndTabsAndBoundsTheField) {
  const std::string a126(126, 'a');
  const struct { std::string in; std::size_t size; std::string want; } cases[] = {
      {"  Name  with\tinner blanks \t ", 128, "Name  with\tinner blanks"},
      {" \t \t  ", 128, ""},
      {"  " + std::string(300, 'n'), 128, std::string(127, 'n')},
      {a126 + "\xc3\xa9" + "tail", 128, a126},   // a two-byte character is not split
      {a126 + " bcd", 128, a126},                // the cut leaves a trailing blank: trimmed
      {std::string("abc\0def", 7), 128, "abc"},  // a device-tree text ends in NUL
      {"abc", 1, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(bounded(c.size, [&](char* out, std::size_t size) { sysinfo_copy_trimmed(c.in, out, size); }), c.want)
        << "input '" << c.in << "'";
}

TEST(SysInfoParse, CpuNameFallsBackFromModelNameToArmFields) {
  const struct { std::string cpuinfo, device_tree; const char* want; } cases[] = {
      {kCpuinfoX86, "Example Board\0", "Testcorp(R) T9-4200 CPU @ 3.00GHz"},
      {kCpuinfoArm32, "", "ARMv7 Processor rev 4 (v7l)"},
      {"processor\t: 0\nHardware\t: Example SoC 2000\n", "", "Example SoC 2000"},
      {kCpuinfoArm64, std::string("Example Board Rev 1.4\0", 22), "Example Board Rev 1.4"},
      {kCpuinfoArm64, "", "CPU implementer 0x41, part 0xd0c"},
      {"processor\t: 0\nmodel name\t:\n", "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(sysinfo_cpu_name(c.cpuinfo, c.device_tree), c.want) << c.cpuinfo;
}

// Cores (distinct package and core pairs), frequency (rounded to the
// nearest MHz) and memory (rounded down to MiB) from the kernel's texts.
TEST(SysInfoParse, CoresFrequencyAndMemory) {
  const std::pair<std::string, int32_t> cores[] = {
      {kCpuinfoX86, 4},
      {kCpuinfoArm64, 0},  // no topology in cpuinfo: the probe asks sysfs, then falls back
      {"processor : 0\ncore id : 0\n\nprocessor : 1\ncore id : 1\n", 2},  // no physical id: one package
      {"processor : 0\ncore id : 0\n\nprocessor : 1\n", 0},               // a block without core id
  };
  for (const auto& [text, want] : cores) EXPECT_EQ(sysinfo_count_cores(text), want) << text;
  EXPECT_EQ(sysinfo_count_distinct({{0, 0}, {0, 1}, {1, 0}, {0, 0}, {1, 0}}), 3);
  const std::pair<const char*, int32_t> khz[] = {
      {"3200000\n", 3200}, {"2999500", 3000}, {"2999499", 2999}, {"  800000 \n", 800}, {"-1000", 0}, {"3.2e6", 0}};
  for (const auto& [text, want] : khz) EXPECT_EQ(sysinfo_mhz_from_khz(text), want) << text;
  const std::pair<std::string, int32_t> mhz[] = {
      {kCpuinfoX86, 3000}, {"cpu MHz : 2999.49\n", 2999}, {"cpu MHz : 1800\n", 1800}, {kCpuinfoArm64, 0}};
  for (const auto& [text, want] : mhz) EXPECT_EQ(sysinfo_cpuinfo_mhz(text), want) << text;
  const std::pair<const char*, int64_t> mem[] = {
      {"MemTotal:       16777216 kB\nMemFree:         1234 kB\n", 16384},
      {"MemTotal:       16777215 kB\n", 16383},
      {"MemFree: 5 kB\nMemTotal: 4294967296 kB\n", 4194304},  // beyond 32 bits
      {"MemFree: 5 kB\n", 0},
  };
  for (const auto& [text, want] : mem) EXPECT_EQ(sysinfo_meminfo_total_mb(text), want) << text;
}

TEST(SysInfoParse, OsReleaseNameUndoesShellQuoting) {
  const std::pair<const char*, const char*> cases[] = {
      {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nVERSION_ID=\"12\"\n",
       "Debian GNU/Linux 12 (bookworm)"},
      {"PRETTY_NAME='Example Linux 3 \"quoted\"'\n", "Example Linux 3 \"quoted\""},
      {"PRETTY_NAME=ExampleOS\n", "ExampleOS"},
      {"PRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$HOME\"\n", "Say \"hi\" \\ $HOME"},
      {"# comment\n\nNAME=\"Example Linux\"\nVERSION_ID=40\n", "Example Linux 40"},
      {"PRETTY_NAME=\"\"\nNAME=Fallback\n", "Fallback"},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(sysinfo_os_release_name(text), want) << text;
}

TEST(SysInfoParse, OsVersionKeepsTheKernelWhenTheNameIsTooLong) {
  const std::string long_name(100, 'D');
  const struct { std::string distribution, kernel, want; std::size_t size = 64; } cases[] = {
      {"Debian GNU/Linux 12 (bookworm)", "6.1.0-18-amd64", "Debian GNU/Linux 12 (bookworm), kernel 6.1.0-18-amd64"},
      {"", "6.1.0", "kernel 6.1.0"},
      {"Example Linux", "", "Example Linux"},
      {long_name, "6.1.0-18-amd64", std::string(40, 'D') + ", kernel 6.1.0-18-amd64"},
      {long_name, std::string(100, 'k'), std::string(63, 'D')},
      {"Ex\xc3\xa9" + std::string(60, 'x'), "6.1", std::string("Ex\xc3\xa9") + std::string(47, 'x') + ", kernel 6.1"},
      {"\xc3\xa9\xc3\xa9", "", "\xc3\xa9", 4},  // not cut inside the second character
  };
  for (const auto& c : cases)
    EXPECT_EQ(bounded(c.size, [&](char* out, std::size_t size) { sysinfo_format_os_version(c.distribution, c.kernel, out, size); }),
              c.want);
}

// A null record is ignored; every text ends within its field.
TEST(SysInfoProbe, IgnoresANullRecordAndTerminatesEveryText) {
  query_system_info(nullptr);
  SystemInfo info;
  std::memset(&info, 0xff, sizeof info);
  query_system_info(&info);
  for (const auto& [field, size] : {std::pair<const char*, std::size_t>{info.cpu_name, sizeof info.cpu_name},
                                    {info.os_name, 64}, {info.os_version, 64}, {info.architecture, 32}})
    EXPECT_NE(std::memchr(field, '\0', size), nullptr);
}

}  // namespace
