// The probe on the machine the tests run on.
#include "sysinfo/system_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(SysInfoProbe, FillsThisMachinesFacts) {
  query_system_info(nullptr);  // does nothing
  SystemInfo info;
  std::memset(&info, 0xff, sizeof info);  // every text must be terminated
  query_system_info(&info);
  for (const auto& [field, size] : {std::pair<const char*, std::size_t>{info.cpu_name, sizeof info.cpu_name},
                                    {info.os_name, 64}, {info.os_version, 64}, {info.architecture, 32}})
    EXPECT_NE(std::memchr(field, '\0', size), nullptr);
  EXPECT_GT(info.logical_processors, 0);
  EXPECT_GT(info.physical_cores, 0);
  EXPECT_GE(info.cpu_mhz, 0);
  EXPECT_GT(info.total_memory_mb, 0);
  EXPECT_STREQ(info.os_name, "Linux");
  EXPECT_NE(std::strstr(info.os_version, "kernel "), nullptr) << info.os_version;
#if defined(__x86_64__)
  EXPECT_STREQ(info.architecture, "x64");
#elif defined(__aarch64__)
  EXPECT_STREQ(info.architecture, "arm64");
#endif
  const std::string name = info.cpu_name;  // trimmed at both ends
  EXPECT_TRUE(name.empty() || (name.front() != ' ' && name.back() != ' ' && name.back() != '\t')) << name;
}

}  // namespace
