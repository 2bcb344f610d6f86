// Making a check's record and turning it into one line of JSON and back. The reader knows the
// record's shape and reads it straight into the record: a history of ten thousand checks is read
// in a blink, and anything out of shape marks the line as damaged.
#include "training/check_record.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "text/utf8.h"

namespace kelvak {

namespace {

constexpr const char* kSourceNames[] = {"digits", "letters", "mixture", "file"};
// Counts of one record stay far below this; a larger number is damage.
constexpr double kMaxCount = 1e9;
// Deeper nesting than any record has is damage; it must not turn into deep recursion.
constexpr int kMaxDepth = 16;

// --- writing ---

void writeString(std::string& out, std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
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

void writeChar(std::string& out, char32_t c) { writeString(out, utf8Of(c)); }

void field(std::string& out, const char* name) {
  out += '"';
  out += name;
  out += "\":";
}

void integer(std::string& out, const char* name, std::int64_t v, bool comma = true) {
  field(out, name);
  out += std::to_string(v);
  if (comma) out += ',';
}

// --- reading ---

class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}

  void space() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r' || s_[pos_] == '\n')) {
      ++pos_;
    }
  }
  bool eat(char c) {
    space();
    if (pos_ >= s_.size() || s_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  bool atEnd() {
    space();
    return pos_ == s_.size();
  }

  // A string literal; `out` views the line itself when it holds no escape, else `buffer`.
  bool string(std::string_view& out, std::string& buffer) {
    if (!eat('"')) return false;
    const std::size_t start = pos_;
    while (pos_ < s_.size() && s_[pos_] != '"' && s_[pos_] != '\\' &&
           static_cast<unsigned char>(s_[pos_]) >= 0x20) {
      ++pos_;
    }
    if (pos_ < s_.size() && s_[pos_] == '"') {
      out = s_.substr(start, pos_ - start);
      ++pos_;
      return true;
    }
    buffer.assign(s_.substr(start, pos_ - start));
    while (pos_ < s_.size()) {
      const char c = s_[pos_++];
      if (c == '"') {
        out = buffer;
        return true;
      }
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        buffer += c;
        continue;
      }
      if (pos_ >= s_.size()) return false;
      switch (s_[pos_++]) {
        case '"':
          buffer += '"';
          break;
        case '\\':
          buffer += '\\';
          break;
        case '/':
          buffer += '/';
          break;
        case 'b':
          buffer += '\b';
          break;
        case 'f':
          buffer += '\f';
          break;
        case 'n':
          buffer += '\n';
          break;
        case 'r':
          buffer += '\r';
          break;
        case 't':
          buffer += '\t';
          break;
        case 'u': {
          std::uint32_t cp;
          if (!hex4(cp)) return false;
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            std::uint32_t low;
            if (s_.substr(pos_, 2) != "\\u") return false;
            pos_ += 2;
            if (!hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
          }
          appendUtf8(buffer, cp);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }

  // A JSON number: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
  bool number(double& v) {
    space();
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
    bool plain = true;
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      plain = false;
      if (!digits()) return false;
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
      plain = false;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (!digits()) return false;
    }
    const std::string_view text = s_.substr(start, pos_ - start);
    if (plain && text.size() < 16) {  // the usual case: a small integer
      std::int64_t n = 0;
      for (char c : text.substr(text[0] == '-' ? 1 : 0)) n = n * 10 + (c - '0');
      v = static_cast<double>(text[0] == '-' ? -n : n);
    } else {
      v = std::strtod(std::string(text).c_str(), nullptr);
    }
    return true;
  }

  // An object whose fields `onField(key)` reads, one value each.
  template <typename OnField>
  bool object(OnField&& onField) {
    if (!eat('{')) return false;
    if (eat('}')) return true;
    std::string buffer;
    for (;;) {
      std::string_view key;
      if (!string(key, buffer) || !eat(':')) return false;
      // The key may live in `buffer`, which the value may reuse: the field gets its own copy then.
      const std::string owned = key.data() == buffer.data() ? std::string(key) : std::string();
      if (!onField(owned.empty() ? key : std::string_view(owned))) return false;
      if (eat('}')) return true;
      if (!eat(',')) return false;
    }
  }

  // Any value, for fields a later version may add.
  bool skipValue(int depth = 0) {
    if (depth > kMaxDepth) return false;
    space();
    if (pos_ >= s_.size()) return false;
    std::string buffer;
    std::string_view ignored;
    double number_;
    switch (s_[pos_]) {
      case '"':
        return string(ignored, buffer);
      case '{':
        return object([&](std::string_view) { return skipValue(depth + 1); });
      case '[':
        ++pos_;
        if (eat(']')) return true;
        for (;;) {
          if (!skipValue(depth + 1)) return false;
          if (eat(']')) return true;
          if (!eat(',')) return false;
        }
      case 't':
        return word("true");
      case 'f':
        return word("false");
      case 'n':
        return word("null");
      default:
        return number(number_);
    }
  }

 private:
  bool word(std::string_view w) {
    if (s_.substr(pos_, w.size()) != w) return false;
    pos_ += w.size();
    return true;
  }
  bool hex4(std::uint32_t& out) {
    if (pos_ + 4 > s_.size()) return false;
    out = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = s_[pos_++];
      out <<= 4;
      if (c >= '0' && c <= '9') {
        out |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        out |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        out |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

bool count(Reader& in, std::int32_t& out) {
  double v;
  if (!in.number(v) || !(v >= 0 && v <= kMaxCount) || v != std::floor(v)) return false;
  out = static_cast<std::int32_t>(v);
  return true;
}

bool setting(Reader& in, int& out) {
  double v;
  if (!in.number(v) || !(std::fabs(v) <= kMaxCount) || v != std::floor(v)) return false;
  out = static_cast<int>(v);
  return true;
}

// A key naming one character: exactly one code point of well-formed UTF-8.
bool oneChar(std::string_view key, char32_t& out) {
  if (key.empty() || key.size() > 4 || !isValidUtf8(key)) return false;
  std::size_t pos = 0;
  out = nextUtf8Char(key, pos);
  return pos == key.size();
}

bool readTally(Reader& in, CharTally& t) {
  unsigned seen = 0;
  const bool ok = in.object([&](std::string_view key) {
    if (key == "sent") return seen |= 1, count(in, t.sent);
    if (key == "correct") return seen |= 2, count(in, t.correct);
    if (key == "missed") return seen |= 4, count(in, t.missed);
    if (key == "as") {
      seen |= 8;
      return in.object([&](std::string_view w) {
        char32_t c;
        std::int32_t n;
        if (!oneChar(w, c) || !count(in, n) || n == 0) return false;
        t.takenFor.emplace_back(c, n);
        return true;
      });
    }
    return in.skipValue();
  });
  if (!ok || seen != 15) return false;
  std::sort(t.takenFor.begin(), t.takenFor.end());
  std::int64_t wrong = 0;
  for (std::size_t k = 0; k < t.takenFor.size(); ++k) {
    if (k > 0 && t.takenFor[k].first == t.takenFor[k - 1].first) return false;
    wrong += t.takenFor[k].second;
  }
  return std::int64_t{t.correct} + t.missed + wrong == t.sent;
}

}  // namespace

std::int32_t CharTally::takenForCount(char32_t written) const {
  for (const auto& [w, n] : takenFor) {
    if (w == written) return n;
  }
  return 0;
}

const CharTally* CheckRecord::tally(char32_t sentChar) const {
  for (const CharTally& t : chars) {
    if (t.ch == sentChar) return &t;
  }
  return nullptr;
}

CheckRecord makeRecord(const CheckResult& result, const RecordSettings& settings,
                       std::int64_t time) {
  CheckRecord r;
  r.time = time;
  r.settings = settings;
  r.sent = result.sent;
  r.correct = result.correct;
  r.wrong = result.wrong;
  r.missed = result.missed;
  r.extra = result.extra;
  for (const AlignedChar& s : result.steps) {
    if (s.mark == Mark::Extra) continue;
    auto t = std::find_if(r.chars.begin(), r.chars.end(),
                          [&](const CharTally& c) { return c.ch == s.sent; });
    if (t == r.chars.end()) {
      t = r.chars.insert(r.chars.end(), CharTally{});
      t->ch = s.sent;
    }
    ++t->sent;
    if (s.mark == Mark::Correct) ++t->correct;
    if (s.mark == Mark::Missed) ++t->missed;
    if (s.mark == Mark::Wrong) {
      auto w = std::find_if(t->takenFor.begin(), t->takenFor.end(),
                            [&](const auto& p) { return p.first == s.written; });
      if (w == t->takenFor.end()) {
        t->takenFor.emplace_back(s.written, 1);
      } else {
        ++w->second;
      }
    }
  }
  std::sort(r.chars.begin(), r.chars.end(),
            [](const CharTally& a, const CharTally& b) { return a.ch < b.ch; });
  for (CharTally& t : r.chars) std::sort(t.takenFor.begin(), t.takenFor.end());
  return r;
}

std::string formatUtc(std::int64_t time) {
  const std::time_t t = static_cast<std::time_t>(time);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::optional<std::int64_t> parseUtc(std::string_view text) {
  // Exactly "YYYY-MM-DDTHH:MM:SSZ".
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z') {
    return std::nullopt;
  }
  auto num = [&](std::size_t at, std::size_t len, int& out) {
    out = 0;
    for (std::size_t k = at; k < at + len; ++k) {
      if (text[k] < '0' || text[k] > '9') return false;
      out = out * 10 + (text[k] - '0');
    }
    return true;
  };
  int y, mo, d, h, mi, s;
  if (!num(0, 4, y) || !num(5, 2, mo) || !num(8, 2, d) || !num(11, 2, h) || !num(14, 2, mi) ||
      !num(17, 2, s)) {
    return std::nullopt;
  }
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || y < 1970) {
    return std::nullopt;
  }
  // Days since 1970 from the civil date (proleptic Gregorian calendar).
  const int yy = mo <= 2 ? y - 1 : y;
  const int era = yy / 400;
  const int yoe = yy - era * 400;
  const int doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t days = std::int64_t{era} * 146097 + doe - 719468;
  return days * 86400 + h * 3600 + mi * 60 + s;
}

std::string toJsonLine(const CheckRecord& r) {
  std::string out;
  out.reserve(256 + 48 * r.chars.size());
  out += '{';
  field(out, "time");
  writeString(out, formatUtc(r.time));
  out += ',';
  field(out, "source");
  writeString(out, kSourceNames[static_cast<int>(r.settings.source)]);
  out += ',';
  if (r.settings.source == TextSource::File) {
    field(out, "file");
    writeString(out, r.settings.file);
    out += ',';
  }
  integer(out, "speed", r.settings.speed);
  integer(out, "tone", r.settings.tone);
  integer(out, "noise", r.settings.noise);
  integer(out, "groups", r.settings.groups);
  integer(out, "sent", r.sent);
  integer(out, "correct", r.correct);
  integer(out, "wrong", r.wrong);
  integer(out, "missed", r.missed);
  integer(out, "extra", r.extra);
  field(out, "chars");
  out += '{';
  for (std::size_t k = 0; k < r.chars.size(); ++k) {
    const CharTally& t = r.chars[k];
    if (k > 0) out += ',';
    writeChar(out, t.ch);
    out += ":{";
    integer(out, "sent", t.sent);
    integer(out, "correct", t.correct);
    integer(out, "missed", t.missed);
    field(out, "as");
    out += '{';
    for (std::size_t w = 0; w < t.takenFor.size(); ++w) {
      if (w > 0) out += ',';
      writeChar(out, t.takenFor[w].first);
      out += ':';
      out += std::to_string(t.takenFor[w].second);
    }
    out += "}}";
  }
  out += "}}\n";
  return out;
}

std::optional<CheckRecord> fromJsonLine(std::string_view line) {
  Reader in(line);
  CheckRecord r;
  unsigned seen = 0;
  std::string buffer;
  auto bit = [&](unsigned b) {
    seen |= 1u << b;
    return true;
  };
  const bool ok = in.object([&](std::string_view key) {
    std::string_view text;
    if (key == "time") {
      if (!in.string(text, buffer)) return false;
      const std::optional<std::int64_t> t = parseUtc(text);
      return t && (r.time = *t, bit(0));
    }
    if (key == "source") {
      if (!in.string(text, buffer)) return false;
      for (int k = 0; k < 4; ++k) {
        if (text == kSourceNames[k]) return r.settings.source = static_cast<TextSource>(k), bit(1);
      }
      return false;
    }
    if (key == "file") {
      if (!in.string(text, buffer)) return false;
      r.settings.file.assign(text);
      return true;
    }
    if (key == "speed") return setting(in, r.settings.speed) && bit(2);
    if (key == "tone") return setting(in, r.settings.tone) && bit(3);
    if (key == "noise") return setting(in, r.settings.noise) && bit(4);
    if (key == "groups") return setting(in, r.settings.groups) && bit(5);
    if (key == "sent") return count(in, r.sent) && bit(6);
    if (key == "correct") return count(in, r.correct) && bit(7);
    if (key == "wrong") return count(in, r.wrong) && bit(8);
    if (key == "missed") return count(in, r.missed) && bit(9);
    if (key == "extra") return count(in, r.extra) && bit(10);
    if (key == "chars") {
      return in.object([&](std::string_view c) {
        CharTally t;
        return oneChar(c, t.ch) && readTally(in, t) && (r.chars.push_back(std::move(t)), true);
      }) && bit(11);
    }
    return in.skipValue();
  });
  if (!ok || !in.atEnd() || seen != (1u << 12) - 1) return std::nullopt;
  if (std::int64_t{r.correct} + r.wrong + r.missed != r.sent) return std::nullopt;
  std::sort(r.chars.begin(), r.chars.end(),
            [](const CharTally& a, const CharTally& b) { return a.ch < b.ch; });
  for (std::size_t k = 1; k < r.chars.size(); ++k) {
    if (r.chars[k].ch == r.chars[k - 1].ch) return std::nullopt;
  }
  return r;
}

}  // namespace kelvak
