// The probe on the machine the tests run on.
#include "sysinfo/system_info.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(SysInfoProbe, FillsThisMachinesFacts) {
  query_system_info(nullptr);  // does nothing

  SystemInfo info;
  std::memset(&info, 0xff, sizeof info);  // every byte must be overwritten
  query_system_info(&info);

  for (const auto& [field, size] : {std::pair<const char*, std::size_t>{info.cpu_name, sizeof info.cpu_name},
                                    {info.os_name, sizeof info.os_name},
                                    {info.os_version, sizeof info.os_version},
                                    {info.architecture, sizeof info.architecture}})
    EXPECT_NE(std::memchr(field, '\0', size), nullptr);
  EXPECT_GT(info.logical_processors, 0);
  EXPECT_GT(info.physical_cores, 0);
  EXPECT_GE(info.cpu_mhz, 0);
  EXPECT_GT(info.total_memory_mb, 0);
  EXPECT_STREQ(info.os_name, "Linux");
  EXPECT_NE(std::strstr(info.os_version, "kernel "), nullptr) << info.os_version;
  EXPECT_STREQ(info.architecture, morlant_build_architecture());
#if defined(__x86_64__)
  EXPECT_STREQ(info.architecture, "x64");
#elif defined(__aarch64__)
  EXPECT_STREQ(info.architecture, "arm64");
#endif
  // Trimmed: no blank or tab at either end.
  const std::size_t len = std::strlen(info.cpu_name);
  if (len > 0) {
    EXPECT_NE(info.cpu_name[0], ' ');
    EXPECT_NE(info.cpu_name[len - 1], ' ');
    EXPECT_NE(info.cpu_name[len - 1], '\t');
  }
}

}  // namespace
