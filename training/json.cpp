// The JSON reader (recursive descent with a depth limit) and the string writer.
#include "training/json.h"

#include <cstdlib>
#include <cstring>

namespace kelvak::json {

const Value* Value::find(std::string_view name) const {
  if (kind != Kind::Object) return nullptr;
  for (const auto& [key, value] : fields) {
    if (key == name) return &value;
  }
  return nullptr;
}

namespace {

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  std::optional<Value> document() {
    Value v;
    skipSpace();
    if (!value(v, 0)) return std::nullopt;
    skipSpace();
    if (pos_ != s_.size()) return std::nullopt;
    return v;
  }

 private:
  void skipSpace() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) {
      ++pos_;
    }
  }
  bool literal(std::string_view word) {
    if (s_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  bool value(Value& v, int depth) {
    if (pos_ >= s_.size() || depth > kMaxDepth) return false;
    switch (s_[pos_]) {
      case '{':
        return object(v, depth);
      case '[':
        return array(v, depth);
      case '"':
        v.kind = Value::Kind::String;
        return string(v.text);
      case 't':
        v.kind = Value::Kind::Bool;
        v.boolean = true;
        return literal("true");
      case 'f':
        v.kind = Value::Kind::Bool;
        return literal("false");
      case 'n':
        v.kind = Value::Kind::Null;
        return literal("null");
      default:
        return number(v);
    }
  }

  bool object(Value& v, int depth) {
    v.kind = Value::Kind::Object;
    ++pos_;
    skipSpace();
    if (pos_ < s_.size() && s_[pos_] == '}') return ++pos_, true;
    for (;;) {
      skipSpace();
      std::string key;
      if (pos_ >= s_.size() || s_[pos_] != '"' || !string(key)) return false;
      skipSpace();
      if (pos_ >= s_.size() || s_[pos_] != ':') return false;
      ++pos_;
      skipSpace();
      Value item;
      if (!value(item, depth + 1)) return false;
      v.fields.emplace_back(std::move(key), std::move(item));
      skipSpace();
      if (pos_ >= s_.size()) return false;
      if (s_[pos_] == '}') return ++pos_, true;
      if (s_[pos_] != ',') return false;
      ++pos_;
    }
  }

  bool array(Value& v, int depth) {
    v.kind = Value::Kind::Array;
    ++pos_;
    skipSpace();
    if (pos_ < s_.size() && s_[pos_] == ']') return ++pos_, true;
    for (;;) {
      skipSpace();
      Value item;
      if (!value(item, depth + 1)) return false;
      v.items.push_back(std::move(item));
      skipSpace();
      if (pos_ >= s_.size()) return false;
      if (s_[pos_] == ']') return ++pos_, true;
      if (s_[pos_] != ',') return false;
      ++pos_;
    }
  }

  bool number(Value& v) {
    // JSON's grammar: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    const std::size_t start = pos_;
    auto digits = [&] {
      const std::size_t from = pos_;
      while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
      return pos_ > from;
    };
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    if (pos_ < s_.size() && s_[pos_] == '0') {
      ++pos_;
    } else if (!digits()) {
      return false;
    }
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      if (!digits()) return false;
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (!digits()) return false;
    }
    const std::string text(s_.substr(start, pos_ - start));
    v.kind = Value::Kind::Number;
    v.number = std::strtod(text.c_str(), nullptr);
    return true;
  }

  static void putUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  bool hex4(std::uint32_t& out) {
    if (pos_ + 4 > s_.size()) return false;
    out = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = s_[pos_++];
      out <<= 4;
      if (c >= '0' && c <= '9')
        out |= static_cast<std::uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f')
        out |= static_cast<std::uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        out |= static_cast<std::uint32_t>(c - 'A' + 10);
      else
        return false;
    }
    return true;
  }

  bool string(std::string& out) {
    ++pos_;  // the opening quote
    for (;;) {
      if (pos_ >= s_.size()) return false;
      const char c = s_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) return false;
      switch (s_[pos_++]) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          std::uint32_t cp;
          if (!hex4(cp)) return false;
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            std::uint32_t low;
            if (!literal("\\u") || !hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
          }
          putUtf8(out, cp);
          break;
        }
        default:
          return false;
      }
    }
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<Value> parse(std::string_view text) { return Parser(text).document(); }

void writeString(std::string& out, std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (u < 0x20 || u == 0x7F) {
      out += "\\u00";
      out += kHex[u >> 4];
      out += kHex[u & 0xF];
    } else {
      out += c;  // UTF-8 stays readable as it is
    }
  }
  out += '"';
}

}  // namespace kelvak::json
