// Shared by the fuzz targets (with the headers they all use): a property check
// that stops the fuzzer with the failed condition, and text helpers.
#ifndef MORLANT_TESTS_FUZZ_FUZZ_CHECK_H
#define MORLANT_TESTS_FUZZ_FUZZ_CHECK_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(cond) \
  ((cond) ? (void)0 : (std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond), std::abort()))

// Whether cutting text after `cut` bytes separates a lead byte from one of the
// continuation bytes (10xxxxxx) that follow it within its sequence length.
inline bool splits_utf8(std::string_view text, std::size_t cut) {
  for (std::size_t j = cut >= 3 ? cut - 3 : 0; j < cut && cut < text.size(); ++j) {
    const unsigned char c = static_cast<unsigned char>(text[j]);
    const std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    std::size_t end = j + 1;
    while (end < j + len && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    if (cut < end) return true;
  }
  return false;
}

// Whether a field of `size` bytes holds a NUL.
inline bool terminated(const char* field, std::size_t size) { return std::memchr(field, 0, size) != nullptr; }

// text without its leading and trailing characters among `set`.
inline std::string_view trimmed(std::string_view text, std::string_view set = " \t") {
  const std::size_t first = text.find_first_not_of(set);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(set) - first + 1);
}

#endif  // MORLANT_TESTS_FUZZ_FUZZ_CHECK_H
