// Making a check's record and turning it into one line of JSON and back; anything out of the
// record's shape marks the line as damaged.
#include "training/check_record.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "text/utf8.h"

namespace kelvak {

namespace {

using Json = nlohmann::json;

// Counts of one record stay far below this; a larger number is damage.
constexpr double kMaxCount = 1e9;
// Deeper nesting than any record has is damage.
constexpr int kMaxDepth = 16;

// --- bytes that are not UTF-8 ---
// The JSON library takes and gives only well-formed UTF-8, but a file name is any bytes, written
// as they are. For the library such a line goes through a stand-in: each byte outside a
// well-formed sequence becomes the private-use character U+10FF00 + byte (U+10FF80..U+10FFFF),
// and a real character of U+10FF00..U+10FFFF is preceded by U+10FF00, so the stand-in reverses.

constexpr char32_t kStandIn = 0x10FF00;

// The length of the well-formed UTF-8 sequence at `i`, 0 when there is none.
std::size_t sequenceAt(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t k) {
    return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0;
  };
  const auto cont = [&](std::size_t k, int lo = 0x80, int hi = 0xBF) {
    return b(k) >= lo && b(k) <= hi;
  };
  const unsigned char b0 = b(0);
  if (b0 < 0x80) return 1;
  if (b0 >= 0xC2 && b0 <= 0xDF) return cont(1) ? 2 : 0;
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    const bool second = b0 == 0xE0 ? cont(1, 0xA0) : b0 == 0xED ? cont(1, 0x80, 0x9F) : cont(1);
    return second && cont(2) ? 3 : 0;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    const bool second = b0 == 0xF0 ? cont(1, 0x90) : b0 == 0xF4 ? cont(1, 0x80, 0x8F) : cont(1);
    return second && cont(2) && cont(3) ? 4 : 0;
  }
  return 0;
}

bool isStandInRange(std::string_view s, std::size_t i) {
  return s.size() - i >= 4 && s.substr(i, 2) == "\xF4\x8F" &&
         (static_cast<unsigned char>(s[i + 2]) & 0xFC) == 0xBC;
}

bool needsStandIn(std::string_view s) {
  for (std::size_t i = 0, n; i < s.size(); i += n) {
    n = sequenceAt(s, i);
    if (n == 0 || (n == 4 && isStandInRange(s, i))) return true;
  }
  return false;
}

// With `escapes`, the text is JSON whose escaped characters of that range are stood in for too.
std::string standIn(std::string_view s, bool escapes) {
  std::string out;
  out.reserve(s.size() + 16);
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = sequenceAt(s, i);
    if (n == 0) {
      appendUtf8(out, kStandIn + static_cast<unsigned char>(s[i++]));
    } else if (n == 4 && isStandInRange(s, i)) {
      appendUtf8(out, kStandIn);
      out.append(s.substr(i, 4));
      i += 4;
    } else if (escapes && s[i] == '\\' && i + 1 < s.size() && sequenceAt(s, i + 1) == 1) {
      std::string e(s.substr(i, 12));  // \uDBFF\uDFxx, in either case
      for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
      if (e.size() == 12 && e.starts_with("\\udbff\\udf") && hex(e[10]) && hex(e[11])) {
        appendUtf8(out, kStandIn);
        appendUtf8(out, kStandIn + static_cast<char32_t>(
                                       std::stoi(std::string(e.substr(10, 2)), nullptr, 16)));
        i += 12;
      } else {
        out.append(s.substr(i, 2));
        i += 2;
      }
    } else {
      out.append(s.substr(i, n));
      i += n;
    }
  }
  return out;
}

std::string original(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    if (!isStandInRange(s, i)) {
      out += s[i++];
      continue;
    }
    const int low = (static_cast<unsigned char>(s[i + 2]) & 3) << 6 | (s[i + 3] & 0x3F);
    if (low == 0 && isStandInRange(s, i + 4)) {
      out.append(s.substr(i + 4, 4));
      i += 8;
    } else {
      if (low >= 0x80) {
        out += static_cast<char>(low);
      } else {
        out.append(s.substr(i, 4));
      }
      i += 4;
    }
  }
  return out;
}

// --- writing ---

// The library writes five control characters in their short escapes and DEL as it is; the history
// has always written every one of them as \u00XX.
std::string withLongEscapes(const std::string& json) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(json.size() + 16);
  for (std::size_t i = 0; i < json.size(); ++i) {
    char c = json[i];
    if (c == '\\') {
      switch (json[++i]) {
        case 'b':
          c = '\b';
          break;
        case 'f':
          c = '\f';
          break;
        case 'n':
          c = '\n';
          break;
        case 'r':
          c = '\r';
          break;
        case 't':
          c = '\t';
          break;
        default:
          out += '\\';
          out += json[i];
          continue;
      }
    } else if (c != '\x7F') {
      out += c;
      continue;
    }
    out += "\\u00";
    out += kHex[static_cast<unsigned char>(c) >> 4];
    out += kHex[c & 0xF];
  }
  return out;
}

// --- reading ---

// A key naming one character: exactly one code point of well-formed UTF-8.
bool oneChar(std::string_view key, char32_t& out) {
  if (key.empty() || key.size() > 4 || !isValidUtf8(key)) return false;
  std::size_t pos = 0;
  out = nextUtf8Char(key, pos);
  return pos == key.size();
}

bool count(double v, std::int32_t& out) {
  if (!(v >= 0 && v <= kMaxCount) || v != std::floor(v)) return false;
  out = static_cast<std::int32_t>(v);
  return true;
}

bool setting(double v, int& out) {
  if (!(std::fabs(v) <= kMaxCount) || v != std::floor(v)) return false;
  out = static_cast<int>(v);
  return true;
}

// Reads the record straight from the parser's events, in the record's shape: a history of ten
// thousand checks is read in a blink, and anything out of shape ends the reading. A field given
// twice counts as often as given, the last one standing; a character twice is damage.
class RecordReader final : public nlohmann::json_sax<Json> {
 public:
  RecordReader(CheckRecord& r, bool standIns) : r_(r), standIns_(standIns) {}

  // The whole line was the record.
  bool complete() {
    if (where_ != Where::Done || seen_ != (1u << 12) - 1) return false;
    if (std::int64_t{r_.correct} + r_.wrong + r_.missed != r_.sent) return false;
    std::sort(r_.chars.begin(), r_.chars.end(),
              [](const CharTally& a, const CharTally& b) { return a.ch < b.ch; });
    for (std::size_t k = 1; k < r_.chars.size(); ++k) {
      if (r_.chars[k].ch == r_.chars[k - 1].ch) return false;
    }
    return true;
  }

  bool null() override { return other(); }
  bool boolean(bool) override { return other(); }
  bool number_integer(number_integer_t v) override { return number(static_cast<double>(v)); }
  bool number_unsigned(number_unsigned_t v) override { return number(static_cast<double>(v)); }
  bool number_float(number_float_t v, const string_t&) override { return number(v); }
  bool binary(binary_t&) override { return false; }

  bool string(string_t& v) override {
    if (skipping()) return skipped();
    if (where_ != Where::Top) return other();
    if (key_ == "time") {
      const std::optional<std::int64_t> t = parseUtc(v);
      return t && (r_.time = *t, bit(0));
    }
    if (key_ == "source") {
      for (int k = 0; k < 4; ++k) {
        if (v == kTextSourceNames[k]) return r_.settings.source = static_cast<TextSource>(k), bit(1);
      }
      return false;
    }
    if (key_ == "file") return r_.settings.file = restored(v), true;
    return other();
  }

  bool key(string_t& k) override {
    if (!skipping()) key_ = k;
    return true;
  }

  bool start_object(std::size_t) override {
    if (skipping() || !known()) return startSkipping();
    switch (where_) {
      case Where::Start:
        where_ = Where::Top;
        return true;
      case Where::Top:
        if (key_ != "chars") return false;
        where_ = Where::Chars;
        return true;
      case Where::Chars:
        tally_ = CharTally{};
        tallySeen_ = 0;
        where_ = Where::Tally;
        return character(key_, tally_.ch);
      case Where::Tally:
        if (key_ != "as") return false;
        tallySeen_ |= 8;
        where_ = Where::As;
        return true;
      default:
        return false;
    }
  }

  bool end_object() override {
    if (skipping()) return endSkipping();
    switch (where_) {
      case Where::As:
        where_ = Where::Tally;
        return true;
      case Where::Tally:
        where_ = Where::Chars;
        return endTally();
      case Where::Chars:
        where_ = Where::Top;
        return bit(11);
      default:
        where_ = Where::Done;
        return true;
    }
  }

  bool start_array(std::size_t) override {
    return skipping() || !known() ? startSkipping() : false;
  }
  bool end_array() override { return endSkipping(); }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  enum class Where { Start, Top, Chars, Tally, As, Done };

  bool bit(unsigned b) {
    seen_ |= 1u << b;
    return true;
  }
  std::string restored(const std::string& s) const { return standIns_ ? original(s) : s; }
  bool character(const std::string& key, char32_t& out) const {
    return oneChar(restored(key), out);
  }

  // Whether the value for key_ is one the record has, rather than one a later version adds.
  bool known() const {
    static constexpr std::string_view kTop[] = {"time",   "source", "file", "speed",   "tone",
                                                "noise",  "groups", "sent", "correct", "wrong",
                                                "missed", "extra",  "chars"};
    static constexpr std::string_view kTally[] = {"sent", "correct", "missed", "as"};
    switch (where_) {
      case Where::Top:
        return std::find(std::begin(kTop), std::end(kTop), key_) != std::end(kTop);
      case Where::Tally:
        return std::find(std::begin(kTally), std::end(kTally), key_) != std::end(kTally);
      default:
        return true;  // the start, and characters
    }
  }

  // A value of a field a later version adds is skipped, down to kMaxDepth levels inside it.
  bool skipping() const { return depth_ > 0; }
  bool skipped() const { return depth_ <= kMaxDepth; }
  bool startSkipping() {
    if (skipping() && !skipped()) return false;
    ++depth_;
    return true;
  }
  bool endSkipping() {
    --depth_;
    return true;
  }
  // A scalar value, not a number or a string the record wants there.
  bool other() const { return skipping() ? skipped() : !known(); }

  bool number(double v) {
    if (skipping() || !known()) return other();
    if (where_ == Where::As) {
      std::pair<char32_t, std::int32_t> w;
      if (!character(key_, w.first) || !count(v, w.second) || w.second == 0) return false;
      tally_.takenFor.push_back(w);
      return true;
    }
    if (where_ == Where::Tally) {
      if (key_ == "sent") return tallySeen_ |= 1, count(v, tally_.sent);
      if (key_ == "correct") return tallySeen_ |= 2, count(v, tally_.correct);
      if (key_ == "missed") return tallySeen_ |= 4, count(v, tally_.missed);
      return false;
    }
    if (where_ != Where::Top) return false;
    if (key_ == "speed") return setting(v, r_.settings.speed) && bit(2);
    if (key_ == "tone") return setting(v, r_.settings.tone) && bit(3);
    if (key_ == "noise") return setting(v, r_.settings.noise) && bit(4);
    if (key_ == "groups") return setting(v, r_.settings.groups) && bit(5);
    if (key_ == "sent") return count(v, r_.sent) && bit(6);
    if (key_ == "correct") return count(v, r_.correct) && bit(7);
    if (key_ == "wrong") return count(v, r_.wrong) && bit(8);
    if (key_ == "missed") return count(v, r_.missed) && bit(9);
    if (key_ == "extra") return count(v, r_.extra) && bit(10);
    return false;
  }

  bool endTally() {
    if (tallySeen_ != 15) return false;
    CharTally& t = tally_;
    std::sort(t.takenFor.begin(), t.takenFor.end());
    std::int64_t wrong = 0;
    for (std::size_t k = 0; k < t.takenFor.size(); ++k) {
      if (k > 0 && t.takenFor[k].first == t.takenFor[k - 1].first) return false;
      wrong += t.takenFor[k].second;
    }
    if (std::int64_t{t.correct} + t.missed + wrong != t.sent) return false;
    r_.chars.push_back(std::move(t));
    return true;
  }

  CheckRecord& r_;
  const bool standIns_;
  Where where_ = Where::Start;
  std::string key_;  // the field whose value comes next
  int depth_ = 0;    // objects and arrays open inside a skipped value
  unsigned seen_ = 0;
  CharTally tally_;
  unsigned tallySeen_ = 0;
};

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
    if (s.mark == Mark::Wrong) countCharacter(t->takenFor, s.written);
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
  const bool standIns = r.settings.source == TextSource::File && needsStandIn(r.settings.file);
  const auto text = [&](const std::string& s) { return standIns ? standIn(s, false) : s; };
  nlohmann::ordered_json j;
  j["time"] = formatUtc(r.time);
  j["source"] = std::string(kTextSourceNames[static_cast<std::size_t>(r.settings.source)]);
  if (r.settings.source == TextSource::File) j["file"] = text(r.settings.file);
  j["speed"] = r.settings.speed;
  j["tone"] = r.settings.tone;
  j["noise"] = r.settings.noise;
  j["groups"] = r.settings.groups;
  j["sent"] = r.sent;
  j["correct"] = r.correct;
  j["wrong"] = r.wrong;
  j["missed"] = r.missed;
  j["extra"] = r.extra;
  nlohmann::ordered_json& chars = j["chars"] = nlohmann::ordered_json::object();
  for (const CharTally& t : r.chars) {
    nlohmann::ordered_json& c = chars[text(utf8Of(t.ch))];
    c["sent"] = t.sent;
    c["correct"] = t.correct;
    c["missed"] = t.missed;
    nlohmann::ordered_json& as = c["as"] = nlohmann::ordered_json::object();
    for (const auto& [w, n] : t.takenFor) as[text(utf8Of(w))] = n;
  }
  std::string line = withLongEscapes(j.dump());
  if (standIns) line = original(line);
  line += '\n';
  return line;
}

std::optional<CheckRecord> fromJsonLine(std::string_view line) {
  // The library would skip a byte order mark; the history never has one.
  if (line.starts_with("\xEF\xBB\xBF")) return std::nullopt;
  const bool standIns = needsStandIn(line);
  CheckRecord r;
  RecordReader reader(r, standIns);
  const bool read =
      standIns ? Json::sax_parse(standIn(line, true), &reader) : Json::sax_parse(line, &reader);
  if (!read || !reader.complete()) return std::nullopt;
  return r;
}

}  // namespace kelvak
