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

constexpr const char* kSourceNames[] = {"digits", "letters", "mixture", "file"};
// Counts of one record stay far below this; a larger number is damage.
constexpr double kMaxCount = 1e9;
// A value inside more objects and arrays than this is damage, deeper than any record goes.
constexpr int kMaxNesting = 17;

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

struct Damaged {};

// The line's JSON, refusing what the library would let pass: a key twice in one object (which
// value counts would be a guess) and nesting deeper than kMaxNesting. Throws Damaged or the
// library's exception.
Json parseLine(std::string_view line) {
  std::vector<std::vector<std::string>> keys;  // of each object open
  return Json::parse(line, [&](int depth, Json::parse_event_t event, Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
        keys.emplace_back();
        [[fallthrough]];
      case Json::parse_event_t::array_start:
      case Json::parse_event_t::value:
        if (depth > kMaxNesting) throw Damaged{};
        break;
      case Json::parse_event_t::key: {
        std::vector<std::string>& seen = keys.back();
        const std::string& key = parsed.get_ref<const std::string&>();
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) throw Damaged{};
        seen.push_back(key);
        break;
      }
      case Json::parse_event_t::object_end:
        keys.pop_back();
        break;
      default:
        break;
    }
    return true;
  });
}

// The integer a number holds, in -limit..limit; any JSON form of it (7, 7.0, 0.7e1) will do.
bool integer(const Json& v, double lowest, std::int32_t& out) {
  if (!v.is_number()) return false;
  const double d = v.get<double>();
  if (!(d >= lowest && d <= kMaxCount) || d != std::floor(d)) return false;
  out = static_cast<std::int32_t>(d);
  return true;
}

bool count(const Json& v, std::int32_t& out) { return integer(v, 0, out); }
bool setting(const Json& v, int& out) { return integer(v, -kMaxCount, out); }

// A key naming one character: exactly one code point of well-formed UTF-8.
bool oneChar(std::string_view key, char32_t& out) {
  if (key.empty() || key.size() > 4 || !isValidUtf8(key)) return false;
  std::size_t pos = 0;
  out = nextUtf8Char(key, pos);
  return pos == key.size();
}

// Reads a record's field into `r`; `key` is the field's name as the line has it.
class RecordReader {
 public:
  RecordReader(CheckRecord& r, bool standIns) : r_(r), standIns_(standIns) {}

  bool field(const std::string& key, const Json& v) {
    const std::string* text = v.is_string() ? &v.get_ref<const std::string&>() : nullptr;
    if (key == "time") {
      const std::optional<std::int64_t> t = text ? parseUtc(*text) : std::nullopt;
      return t && (r_.time = *t, bit(0));
    }
    if (key == "source") {
      for (int k = 0; text && k < 4; ++k) {
        if (*text == kSourceNames[k])
          return r_.settings.source = static_cast<TextSource>(k), bit(1);
      }
      return false;
    }
    if (key == "file") return text && (r_.settings.file = restored(*text), true);
    if (key == "speed") return setting(v, r_.settings.speed) && bit(2);
    if (key == "tone") return setting(v, r_.settings.tone) && bit(3);
    if (key == "noise") return setting(v, r_.settings.noise) && bit(4);
    if (key == "groups") return setting(v, r_.settings.groups) && bit(5);
    if (key == "sent") return count(v, r_.sent) && bit(6);
    if (key == "correct") return count(v, r_.correct) && bit(7);
    if (key == "wrong") return count(v, r_.wrong) && bit(8);
    if (key == "missed") return count(v, r_.missed) && bit(9);
    if (key == "extra") return count(v, r_.extra) && bit(10);
    if (key == "chars") {
      if (!v.is_object()) return false;
      for (const auto& [c, tally] : v.items()) {
        CharTally t;
        if (!character(c, t.ch) || !readTally(tally, t)) return false;
        r_.chars.push_back(std::move(t));
      }
      return bit(11);
    }
    return true;  // a field a later version adds
  }

  bool complete() const { return seen_ == (1u << 12) - 1; }

 private:
  bool bit(unsigned b) {
    seen_ |= 1u << b;
    return true;
  }
  std::string restored(const std::string& s) const { return standIns_ ? original(s) : s; }
  bool character(const std::string& key, char32_t& out) const {
    return oneChar(restored(key), out);
  }

  bool readTally(const Json& v, CharTally& t) const {
    if (!v.is_object()) return false;
    unsigned seen = 0;
    for (const auto& [key, value] : v.items()) {
      bool ok = true;
      if (key == "sent") {
        ok = count(value, t.sent), seen |= 1;
      } else if (key == "correct") {
        ok = count(value, t.correct), seen |= 2;
      } else if (key == "missed") {
        ok = count(value, t.missed), seen |= 4;
      } else if (key == "as") {
        seen |= 8;
        ok = value.is_object();
        for (auto w = value.begin(); ok && w != value.end(); ++w) {
          char32_t c;
          std::int32_t n;
          ok = character(w.key(), c) && count(w.value(), n) && n != 0;
          if (ok) t.takenFor.emplace_back(c, n);
        }
      }
      if (!ok) return false;
    }
    if (seen != 15) return false;
    std::sort(t.takenFor.begin(), t.takenFor.end());
    std::int64_t wrong = 0;
    for (const auto& [c, n] : t.takenFor) wrong += n;
    return std::int64_t{t.correct} + t.missed + wrong == t.sent;
  }

  CheckRecord& r_;
  bool standIns_;
  unsigned seen_ = 0;
};

}  // namespace

std::int32_t CharTally::takenForCount(char32_t written) const {
  for (const auto& [w, n] : takenFor) {
    if (w == written) return n;
  }
  return 0;
}

double CheckRecord::accuracyPercent() const {
  const std::int64_t all = std::int64_t{sent} + extra;
  return all == 0 ? 0.0 : 100.0 * correct / static_cast<double>(all);
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
  const bool standIns = r.settings.source == TextSource::File && needsStandIn(r.settings.file);
  const auto text = [&](const std::string& s) { return standIns ? standIn(s, false) : s; };
  nlohmann::ordered_json j;
  j["time"] = formatUtc(r.time);
  j["source"] = kSourceNames[static_cast<int>(r.settings.source)];
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
  try {
    const Json j = standIns ? parseLine(standIn(line, true)) : parseLine(line);
    if (!j.is_object()) return std::nullopt;
    RecordReader reader(r, standIns);
    for (const auto& [key, value] : j.items()) {
      if (!reader.field(key, value)) return std::nullopt;
    }
    if (!reader.complete()) return std::nullopt;
  } catch (const Damaged&) {
    return std::nullopt;
  } catch (const Json::exception&) {
    return std::nullopt;
  }
  if (std::int64_t{r.correct} + r.wrong + r.missed != r.sent) return std::nullopt;
  std::sort(r.chars.begin(), r.chars.end(),
            [](const CharTally& a, const CharTally& b) { return a.ch < b.ch; });
  return r;
}

}  // namespace kelvak
