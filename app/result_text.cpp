#include "app/result_text.h"

#include <cstring>

#include "app/resource_ids.h"
#include "bench/benchmark.h"

namespace {

constexpr size_t kLineSize = 128;  // characters of a result line, terminator included
constexpr int kMaxInfoRows = 6;

// 8388608 as "8,388,608".
std::wstring grouped(long long value) {
  std::wstring digits = std::to_wstring(value);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), 1, L',');
  return digits;
}

void add_line(std::wstring& text, const wchar_t* name, const std::wstring& value) {
  text += name;
  text += L' ';
  text += value;
  text += L"\r\n";
}

}  // namespace

std::wstring result_text(const ResultCardState& result, const SystemInfo& info) {
  wchar_t score[kLineSize], time[kLineSize];
  format_result_lines(result, score, kLineSize, time, kLineSize);
  std::wstring text = L"Morlant benchmark result\r\n";
  add_line(text, L"Score:", score);
  add_line(text, L"Time:", time);
  add_line(text, L"Workload:",
           L"pi to " + grouped(BENCHMARK_DIGITS) + L" digits, " + std::to_wstring(BENCHMARK_RUNS) + L" runs");
  InfoRow rows[kMaxInfoRows];
  const int count = format_info_rows(info, rows);
  for (int i = 0; i < count; ++i) add_line(text, rows[i].label, rows[i].value);
  add_line(text, L"Version:", L"" MORLANT_VERSION_TEXT);
  return text;
}

bool copy_to_clipboard(HWND owner, const std::wstring& text) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return false;
  void* buffer = GlobalLock(memory);
  if (buffer == nullptr) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(buffer, text.c_str(), bytes);
  GlobalUnlock(memory);
  if (!OpenClipboard(owner)) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  // On success the clipboard owns the memory; otherwise it stays here.
  const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  CloseClipboard();
  if (!placed) GlobalFree(memory);
  return placed;
}
