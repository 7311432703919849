// Parsing of /proc/cpuinfo, /proc/meminfo, sysfs values and os-release.
#include "sysinfo/system_info_parse.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view trim_space(std::string_view s) {
  while (!s.empty() && (is_blank(s.front()) || s.front() == '\n' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (is_blank(s.back()) || s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Calls f(line) for each line of text (without its '\n'); stops when f returns false.
template <typename F>
void for_each_line(std::string_view text, F f) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    if (!f(line)) return;
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + 1);
  }
}

// Splits "key : value" at the first colon; false for a line without one.
bool split_field(std::string_view line, std::string_view* key, std::string_view* value) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  *key = trim_blanks(line.substr(0, colon));
  *value = trim_blanks(line.substr(colon + 1));
  return true;
}

// Reads a non-negative decimal integer that makes up all of s; false on
// anything else or on overflow of 63 bits.
bool parse_whole(std::string_view s, int64_t* out) {
  if (s.empty()) return false;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    if (v > (INT64_MAX - (c - '0')) / 10) return false;
    v = v * 10 + (c - '0');
  }
  *out = v;
  return true;
}

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int32_t clamp_int32(int64_t v) { return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v); }

// Undoes shell quoting of an os-release value: "..." with backslash escapes,
// '...' literally, or an unquoted word with backslash escapes.
std::string unquote(std::string_view v) {
  std::string out;
  if (!v.empty() && v.front() == '\'') {
    const std::size_t end = v.find('\'', 1);
    return std::string(v.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1));
  }
  const bool quoted = !v.empty() && v.front() == '"';
  for (std::size_t i = quoted ? 1 : 0; i < v.size(); ++i) {
    const char c = v[i];
    if (quoted && c == '"') break;
    if (c == '\\' && i + 1 < v.size()) {
      out += v[++i];
      continue;
    }
    out += c;
  }
  return quoted ? out : std::string(trim_space(out));
}

}  // namespace

std::size_t sysinfo_utf8_prefix(std::string_view text, std::size_t max) {
  if (text.size() <= max) return text.size();
  std::size_t cut = max;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

void sysinfo_copy_trimmed(std::string_view text, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  text = trim_blanks(text.substr(0, std::min(text.find('\0'), text.size())));
  text = trim_blanks(text.substr(0, sysinfo_utf8_prefix(text, size - 1)));
  std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
}

bool sysinfo_cpuinfo_value(std::string_view cpuinfo, std::string_view key, std::string* value) {
  bool found = false;
  for_each_line(cpuinfo, [&](std::string_view line) {
    std::string_view k, v;
    if (split_field(line, &k, &v) && k == key) {
      *value = std::string(trim_space(v));
      found = true;
    }
    return !found;
  });
  return found;
}

std::string sysinfo_cpu_name(std::string_view cpuinfo, std::string_view device_tree_model) {
  std::string v;
  if (sysinfo_cpuinfo_value(cpuinfo, "model name", &v) && !v.empty()) return v;
  for (const char* key : {"Processor", "cpu model", "Hardware"}) {
    if (sysinfo_cpuinfo_value(cpuinfo, key, &v) && !v.empty() && !all_digits(v)) return v;
  }
  const std::string_view model = trim_space(device_tree_model.substr(0, device_tree_model.find('\0')));
  if (!model.empty()) return std::string(model);
  std::string implementer, part;
  if (sysinfo_cpuinfo_value(cpuinfo, "CPU implementer", &implementer) && !implementer.empty() &&
      sysinfo_cpuinfo_value(cpuinfo, "CPU part", &part) && !part.empty())
    return "CPU implementer " + implementer + ", part " + part;
  return std::string();
}

int32_t sysinfo_count_cores(std::string_view cpuinfo) {
  std::vector<std::pair<int64_t, int64_t>> pairs;
  bool in_block = false, complete = true;
  int64_t package = 0, core = -1;
  auto close_block = [&] {
    if (!in_block) return;
    if (core < 0) complete = false;
    pairs.emplace_back(package, core);
    in_block = false;
  };
  for_each_line(cpuinfo, [&](std::string_view line) {
    std::string_view k, v;
    if (!split_field(line, &k, &v)) {
      if (trim_space(line).empty()) close_block();
      return true;
    }
    int64_t number = 0;
    if (k == "processor") {
      close_block();
      in_block = true;
      package = 0;
      core = -1;
    } else if (k == "physical id" && parse_whole(trim_space(v), &number)) {
      package = number;
    } else if (k == "core id" && parse_whole(trim_space(v), &number)) {
      core = number;
    }
    return true;
  });
  close_block();
  return complete ? sysinfo_count_distinct(std::move(pairs)) : 0;
}

int32_t sysinfo_count_distinct(std::vector<std::pair<int64_t, int64_t>> pairs) {
  std::sort(pairs.begin(), pairs.end());
  return clamp_int32(std::unique(pairs.begin(), pairs.end()) - pairs.begin());
}

int32_t sysinfo_mhz_from_khz(std::string_view text) {
  int64_t khz = 0;
  if (!parse_whole(trim_space(text), &khz)) return 0;
  return clamp_int32(khz / 1000 + (khz % 1000 >= 500 ? 1 : 0));  // khz + 500 could overflow
}

int32_t sysinfo_cpuinfo_mhz(std::string_view cpuinfo) {
  std::string v;
  if (!sysinfo_cpuinfo_value(cpuinfo, "cpu MHz", &v)) return 0;
  const std::string_view s = v;
  const std::size_t point = s.find('.');
  int64_t whole = 0;
  if (!parse_whole(s.substr(0, point), &whole)) return 0;
  if (point != std::string_view::npos && point + 1 < s.size() && s[point + 1] >= '5' && s[point + 1] <= '9' &&
      whole < INT32_MAX)
    ++whole;
  return clamp_int32(whole);
}

int64_t sysinfo_meminfo_total_mb(std::string_view meminfo) {
  int64_t mb = 0;
  for_each_line(meminfo, [&](std::string_view line) {
    std::string_view k, v;
    if (!split_field(line, &k, &v) || k != "MemTotal") return true;
    v = trim_space(v);
    if (v.size() > 2 && v.substr(v.size() - 2) == "kB") v = trim_blanks(v.substr(0, v.size() - 2));
    int64_t kb = 0;
    if (parse_whole(v, &kb)) mb = kb >> 10;
    return false;
  });
  return mb;
}

std::string sysinfo_os_release_name(std::string_view os_release) {
  std::string pretty, name, version;
  for_each_line(os_release, [&](std::string_view line) {
    line = trim_space(line);
    const std::size_t eq = line.find('=');
    if (line.empty() || line.front() == '#' || eq == std::string_view::npos) return true;
    const std::string_view key = line.substr(0, eq);
    if (key == "PRETTY_NAME")
      pretty = unquote(line.substr(eq + 1));
    else if (key == "NAME")
      name = unquote(line.substr(eq + 1));
    else if (key == "VERSION_ID")
      version = unquote(line.substr(eq + 1));
    return true;
  });
  if (!pretty.empty()) return pretty;
  if (!name.empty() && !version.empty()) return name + " " + version;
  return name;
}

void sysinfo_format_os_version(std::string_view distribution, std::string_view kernel, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  distribution = trim_space(distribution);
  kernel = trim_space(kernel);
  std::string tail = kernel.empty() ? std::string() : "kernel " + std::string(kernel);
  if (!distribution.empty() && !tail.empty()) tail.insert(0, ", ");
  // Room left for the distribution once the kernel part is in; if the kernel
  // part alone takes more than half the field, plain truncation instead.
  std::size_t room = size - 1;
  if (tail.size() <= room / 2) room -= tail.size();
  const std::string text = std::string(distribution.substr(0, sysinfo_utf8_prefix(distribution, room))) + tail;
  const std::size_t len = sysinfo_utf8_prefix(text, size - 1);
  std::memcpy(out, text.data(), len);
  out[len] = '\0';
}
