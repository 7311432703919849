// The Linux probe: /proc, sysfs, os-release, uname and sysconf.
#include <dirent.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sysinfo/system_info.h"
#include "sysinfo/system_info_parse.h"

namespace {

// Contents of a (pseudo-)file, at most `limit` bytes; empty when it cannot be
// read. /proc files report size 0, so this reads until the end.
std::string read_file(const std::string& path, std::size_t limit = std::size_t{4} << 20) {
  std::string text;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return text;
  char buffer[4096];
  std::size_t got;
  while (text.size() < limit && (got = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, got);
  std::fclose(f);
  if (text.size() > limit) text.resize(limit);
  return text;
}

// Distinct (package, core) pairs of the online CPUs' sysfs topology; 0 when
// a CPU directory lacks them.
int32_t count_cores_sysfs() {
  const std::string base = "/sys/devices/system/cpu/";
  DIR* dir = opendir(base.c_str());
  if (dir == nullptr) return 0;
  std::vector<std::pair<int64_t, int64_t>> pairs;
  bool complete = true;
  while (const dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (std::strncmp(name, "cpu", 3) != 0 || name[3] == '\0' ||
        std::strspn(name + 3, "0123456789") != std::strlen(name + 3))
      continue;
    const std::string topology = base + name + "/topology/";
    const std::string package = read_file(topology + "physical_package_id", 64);
    const std::string core = read_file(topology + "core_id", 64);
    if (core.empty()) {
      complete = false;
      break;
    }
    pairs.emplace_back(std::strtoll(package.c_str(), nullptr, 10), std::strtoll(core.c_str(), nullptr, 10));
  }
  closedir(dir);
  return complete ? sysinfo_count_distinct(std::move(pairs)) : 0;
}

}  // namespace

void query_system_info(SystemInfo* info) {
  if (info == nullptr) return;
  std::memset(info, 0, sizeof *info);

  const std::string cpuinfo = read_file("/proc/cpuinfo");
  std::string model = read_file("/proc/device-tree/model", 1024);
  if (model.empty()) model = read_file("/sys/firmware/devicetree/base/model", 1024);
  sysinfo_copy_trimmed(sysinfo_cpu_name(cpuinfo, model), info->cpu_name, sizeof info->cpu_name);

  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  info->logical_processors = online > 0 ? static_cast<int32_t>(online > INT32_MAX ? INT32_MAX : online) : 0;

  info->physical_cores = sysinfo_count_cores(cpuinfo);
  if (info->physical_cores == 0) info->physical_cores = count_cores_sysfs();
  if (info->physical_cores == 0) info->physical_cores = info->logical_processors;

  info->cpu_mhz = sysinfo_mhz_from_khz(read_file("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", 64));
  if (info->cpu_mhz == 0) info->cpu_mhz = sysinfo_cpuinfo_mhz(cpuinfo);

  info->total_memory_mb = sysinfo_meminfo_total_mb(read_file("/proc/meminfo"));
  if (info->total_memory_mb == 0) {
    const long pages = sysconf(_SC_PHYS_PAGES), page_size = sysconf(_SC_PAGESIZE);
    if (pages > 0 && page_size > 0)
      info->total_memory_mb = static_cast<int64_t>(
          (static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(page_size)) >> 20);
  }

  std::snprintf(info->os_name, sizeof info->os_name, "%s", "Linux");
  std::string release = read_file("/etc/os-release", 64 << 10);
  if (release.empty()) release = read_file("/usr/lib/os-release", 64 << 10);
  utsname uts{};
  const char* kernel = uname(&uts) == 0 ? uts.release : "";
  sysinfo_format_os_version(sysinfo_os_release_name(release), kernel, info->os_version, sizeof info->os_version);

  std::snprintf(info->architecture, sizeof info->architecture, "%s", morlant_build_architecture());
}
