// A small JSON reader and writer for the history's one-line records. Enough for what the history
// writes (objects, arrays, strings, integers, numbers, booleans, null) and strict about the rest.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvak::json {

struct Value {
  enum class Kind : std::uint8_t { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;                                   // String
  std::vector<Value> items;                           // Array
  std::vector<std::pair<std::string, Value>> fields;  // Object, in file order

  // The field's value, or null when this is no object or has no such field.
  const Value* find(std::string_view name) const;
};

// Parses one complete JSON text (surrounding white space allowed). Nothing on failure, also for
// nesting deeper than kMaxDepth, which no record has and which a damaged line must not turn into
// a stack overflow.
inline constexpr int kMaxDepth = 32;
std::optional<Value> parse(std::string_view text);

// Appends `s` (UTF-8) as a JSON string literal with its quotes.
void writeString(std::string& out, std::string_view s);

}  // namespace kelvak::json
