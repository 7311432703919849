// JSON literals and the document writer.
#include "cli/json.h"

#include <cmath>
#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0 when it is not one.
std::size_t utf8_sequence(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  std::size_t len;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF)
    len = 2;
  else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;  // no overlong forms
    if (c == 0xED) hi = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (i + len > s.size() || byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (std::size_t k = 2; k < len; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  return len;
}

}  // namespace

std::string json_quote(std::string_view s) {
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      const std::size_t len = utf8_sequence(s, i);
      if (len == 0) {
        out += "\\ufffd";
        ++i;
      } else {
        out.append(s.substr(i, len));
        i += len;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  return out + "\"";
}

std::string json_number(double value) {
  if (!std::isfinite(value)) return "null";
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

JsonWriter& JsonWriter::begin_object(Layout layout) { return begin('{', '}', layout); }

JsonWriter& JsonWriter::begin_array(Layout layout) { return begin('[', ']', layout); }

JsonWriter& JsonWriter::begin(char open, char close, Layout layout) {
  literal(std::string_view(&open, 1));
  const bool lines = layout == Layout::kLines;
  open_.push_back({close, lines, true});
  if (lines) ++line_levels_;
  return *this;
}

JsonWriter& JsonWriter::end() {
  const Open closing = open_.back();
  open_.pop_back();
  if (closing.lines) --line_levels_;
  if (closing.lines && !closing.empty) out_.append("\n").append(2 * static_cast<std::size_t>(line_levels_), ' ');
  out_ += closing.close;
  return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
  next_member();
  out_ += json_quote(name) + ": ";
  after_key_ = true;
  return *this;
}

JsonWriter& JsonWriter::string(std::string_view text) { return literal(json_quote(text)); }

JsonWriter& JsonWriter::number(double value) { return literal(json_number(value)); }

JsonWriter& JsonWriter::integer(int64_t value) { return literal(std::to_string(value)); }

JsonWriter& JsonWriter::boolean(bool value) { return literal(value ? "true" : "false"); }

JsonWriter& JsonWriter::null() { return literal("null"); }

JsonWriter& JsonWriter::literal(std::string_view text) {
  // A member's value follows its key; an array element is a member itself.
  if (!after_key_) next_member();
  after_key_ = false;
  out_.append(text);
  return *this;
}

void JsonWriter::next_member() {
  if (open_.empty()) return;
  Open& container = open_.back();
  if (container.lines)
    out_.append(container.empty ? "\n" : ",\n").append(2 * static_cast<std::size_t>(line_levels_), ' ');
  else if (!container.empty)
    out_ += ", ";
  container.empty = false;
}
