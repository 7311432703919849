// JSON output of morlant-cli: string and number literals, and a writer that
// puts the commas, colons and indentation of a nested document.
#ifndef MORLANT_CLI_JSON_H
#define MORLANT_CLI_JSON_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// s as a JSON string literal, quotes included: '"', '\\' and control bytes
// escaped, invalid UTF-8 replaced by U+FFFD so the document stays valid.
std::string json_quote(std::string_view s);

// A double as a JSON number with 15 significant digits, trailing zeros
// dropped (the sums of millisecond times print as 17.612, not as
// 17.612000000000005); null for infinities and NaN.
std::string json_number(double value);

// A document built one value at a time. An object or array is laid out
// either one member a line, indented two spaces for each such container
// around it, or all on one line ({"a": 1, "b": [2, 3]}); an empty one is {}
// or []. Inside an object every value follows a key().
class JsonWriter {
 public:
  enum class Layout { kLines, kInline };

  JsonWriter& begin_object(Layout layout = Layout::kLines);
  JsonWriter& begin_array(Layout layout = Layout::kLines);
  JsonWriter& end();  // closes the innermost open object or array

  JsonWriter& key(std::string_view name);  // names the object member that follows
  JsonWriter& string(std::string_view text);
  JsonWriter& number(double value);  // as json_number
  JsonWriter& integer(int64_t value);
  JsonWriter& boolean(bool value);
  JsonWriter& null();

  // The document so far (no newline at its end).
  const std::string& text() const { return out_; }

 private:
  struct Open {
    char close;  // '}' or ']'
    bool lines;  // one member a line
    bool empty;  // no member yet
  };

  JsonWriter& begin(char open, char close, Layout layout);
  JsonWriter& literal(std::string_view text);  // a value
  void next_member();  // the separator before a member of the innermost container

  std::string out_;
  std::vector<Open> open_;
  int line_levels_ = 0;    // open containers laid out one member a line
  bool after_key_ = false;  // a key waits for its value
};

#endif  // MORLANT_CLI_JSON_H
