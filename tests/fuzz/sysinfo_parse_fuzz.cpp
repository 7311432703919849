// The Linux machine-fact parsers over any text: /proc/cpuinfo, /proc/meminfo,
// os-release, sysfs values, the UTF-8 prefix, the trimmed copy and the OS
// version line.
#include <fuzzer/FuzzedDataProvider.h>

#include <set>
#include <utility>

#include "sysinfo/system_info_parse.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// Over the "key : value" lines: the number of "processor" keys, each of which
// opens a block, and MemTotal in MiB when the first line of that key has the
// plain form "<up to 18 digits> [kB]" (-1 for other forms, 0 without one).
std::pair<int32_t, int64_t> scan(std::string_view text) {
  int32_t processors = 0;
  int64_t mb = 0;
  bool seen = false;
  for (size_t start = 0, end; start <= text.size(); start = end + 1) {
    end = std::min(text.find('\n', start), text.size());
    const std::string_view line = text.substr(start, end - start), key = trimmed(line.substr(0, line.find(':')));
    if (line.find(':') == std::string_view::npos) continue;
    processors += key == "processor";
    if (key != "MemTotal" || std::exchange(seen, true)) continue;
    std::string_view v = trimmed(line.substr(line.find(':') + 1), " \t\r\n");
    if (v.size() > 2 && v.substr(v.size() - 2) == "kB") v = trimmed(v.substr(0, v.size() - 2));
    const bool plain = !v.empty() && v.size() <= 18 && v.find_first_not_of("0123456789") == std::string_view::npos;
    mb = plain ? std::stoll(std::string(v)) >> 10 : -1;
  }
  return {processors, mb};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const size_t max = in.ConsumeIntegralInRange<size_t>(0, 160);
  const size_t out_size = in.ConsumeIntegralInRange<size_t>(1, 160);
  const std::string other = in.ConsumeRandomLengthString(200);  // a kernel release, a sysfs value, a model
  const std::string text = in.ConsumeRemainingBytesAsString();

  for (const std::string_view s : {std::string_view(text), std::string_view(other)}) {
    const size_t cut = sysinfo_utf8_prefix(s, max);
    FUZZ_CHECK(cut <= std::min(max, s.size()) && (s.size() > max || cut == s.size()) && !splits_utf8(s, cut));
    for (size_t i = cut + 1; i <= max && i < s.size(); ++i)  // nothing longer would do
      FUZZ_CHECK((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80);

    std::vector<char> out(out_size, '\x5f');  // exactly the field, garbage first
    sysinfo_copy_trimmed(s, out.data(), out.size());
    FUZZ_CHECK(terminated(out.data(), out.size()));
    const std::string_view copy(out.data()), whole = trimmed(s.substr(0, s.find('\0')));
    FUZZ_CHECK(copy == trimmed(copy) && whole.substr(0, copy.size()) == copy);
    FUZZ_CHECK(whole.size() >= out_size || copy == whole);
    FUZZ_CHECK(!splits_utf8(whole, copy.size()));
  }

  const auto [processors, plain_mb] = scan(text);
  const int32_t cores = sysinfo_count_cores(text);
  FUZZ_CHECK(cores >= 0 && cores <= processors);
  FUZZ_CHECK(sysinfo_cpuinfo_mhz(text) >= 0 && sysinfo_mhz_from_khz(other) >= 0);
  const std::string name = sysinfo_cpu_name(text, other);
  FUZZ_CHECK(name == trimmed(name, " \t\r\n"));

  const int64_t mb = sysinfo_meminfo_total_mb(text);
  FUZZ_CHECK(mb >= 0 && (plain_mb < 0 || mb == plain_mb));

  std::vector<std::pair<int64_t, int64_t>> pairs;
  for (size_t i = 0; i + 1 < text.size() && i < 64; i += 2) pairs.emplace_back(text[i] % 4, text[i + 1] % 4);
  const std::set<std::pair<int64_t, int64_t>> distinct(pairs.begin(), pairs.end());
  FUZZ_CHECK(sysinfo_count_distinct(pairs) == static_cast<int32_t>(distinct.size()));

  // "<distribution>, kernel <release>": whole when it fits; else a cut of the
  // distribution at a character boundary, then the kernel part: all of it
  // when that takes at most half the field, else cut at a character boundary.
  // (Both parts as C strings: the kernel release comes from uname.)
  const std::string os_name = sysinfo_os_release_name(text), distribution = os_name.c_str(), kernel = other.c_str();
  std::vector<char> out(out_size, '\x5f');
  sysinfo_format_os_version(distribution, kernel, out.data(), out.size());
  FUZZ_CHECK(terminated(out.data(), out.size()));
  const std::string_view line(out.data()), d = trimmed(distribution, " \t\r\n"), k = trimmed(kernel, " \t\r\n");
  const std::string tail = (k.empty() ? "" : d.empty() ? "kernel " : ", kernel ") + std::string(k);
  if (d.size() + tail.size() < out_size) {
    FUZZ_CHECK(line == std::string(d) + tail);
  } else {
    auto parts = [&](size_t c) {  // line = the first c bytes of d, then the start of tail
      return line.substr(0, c) == d.substr(0, c) && line.substr(c) == std::string_view(tail).substr(0, line.size() - c);
    };
    size_t c = std::min(line.size(), d.size());
    while (c > 0 && !parts(c)) --c;
    FUZZ_CHECK(parts(c) && !splits_utf8(d, c) && !splits_utf8(tail, line.size() - c));
    FUZZ_CHECK(tail.size() > (out_size - 1) / 2 || line.size() - c == tail.size());
  }
  return 0;
}
