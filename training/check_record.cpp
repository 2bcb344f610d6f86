// Making a check's record and turning it into one line of JSON and back; anything out of the
// record's shape marks the line as damaged.
#include "training/check_record.h"

#include <algorithm>
#include <chrono>
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
// as they are. Such a line goes through the library with a stand-in for each byte outside a
// well-formed sequence: the private-use character U+10FF00 + byte (U+10FF80..U+10FFFF). A real
// character of that range is preceded by U+10FF00, so the stand-in reverses.

constexpr char32_t kStandIn = 0x10FF00;

// The length of the well-formed UTF-8 sequence at `i`, 0 when there is none.
std::size_t sequenceAt(std::string_view s, std::size_t i) {
  Utf8Decoder decoder;
  for (std::size_t k = i; k < s.size(); ++k) {
    const Utf8Decoder::Step step = decoder.feed(static_cast<std::uint8_t>(s[k]));
    if (step == Utf8Decoder::Step::Char) return k - i + 1;
    if (step == Utf8Decoder::Step::Invalid) break;
  }
  return 0;
}

bool isStandInRange(std::string_view s, std::size_t i) {
  return s.size() - i >= 4 && s.substr(i, 2) == "\xF4\x8F" &&
         (static_cast<unsigned char>(s[i + 2]) & 0xFC) == 0xBC;
}

std::string standIn(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 16);
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = sequenceAt(s, i);
    if (n == 0) {
      appendUtf8(out, kStandIn + static_cast<unsigned char>(s[i++]));
      continue;
    }
    if (n == 4 && isStandInRange(s, i)) appendUtf8(out, kStandIn);
    out.append(s.substr(i, n));
    i += n;
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
  static constexpr std::string_view kShort = "bfnrt", kMeant = "\b\f\n\r\t";
  std::string out;
  out.reserve(json.size() + 16);
  for (std::size_t i = 0; i < json.size(); ++i) {
    char c = json[i];
    if (c == '\\' && kShort.find(json[i + 1]) != std::string_view::npos) {
      c = kMeant[kShort.find(json[++i])];
    } else if (c == '\\') {
      out.append(json, i++, 2);  // an escape the history writes the same way
      continue;
    } else if (c != '\x7F') {
      out += c;
      continue;
    }
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
    out += escape;
  }
  return out;
}

// --- reading ---

// A key naming one character: exactly one code point of well-formed UTF-8.
std::optional<char32_t> oneChar(std::string_view key) {
  if (key.empty() || key.size() > 4 || !isValidUtf8(key)) return std::nullopt;
  std::size_t pos = 0;
  const char32_t ch = nextUtf8Char(key, pos);
  if (pos != key.size()) return std::nullopt;
  return ch;
}

// A whole number: a count (never negative) or, with `negativeToo`, a setting.
template <typename T>
bool wholeNumber(const Json& v, T& out, bool negativeToo = false) {
  if (!v.is_number()) return false;
  const double d = v.get<double>();
  if (!(d >= (negativeToo ? -kMaxCount : 0.0) && d <= kMaxCount) || d != std::floor(d))
    return false;
  out = static_cast<T>(d);
  return true;
}

template <typename T>
bool wholeNumber(const Json& object, const char* key, T& out, bool negativeToo = false) {
  const auto it = object.find(key);
  return it != object.end() && wholeNumber(*it, out, negativeToo);
}

const std::string* text(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_string() ? &it->get_ref<const std::string&>() : nullptr;
}

// What the library's document loses and the record needs: a character or a taken-for key given
// twice is damage, where the library would keep only the last.
struct KeysSeen {
  std::string field;       // the record's field being read
  std::string tallyField;  // the field of a character's tally being read
  std::size_t chars = 0, takenFor = 0;
  bool tooDeep = false;
};

std::optional<CharTally> tallyOf(const std::string& key, const Json& t, bool standIns) {
  CharTally tally;
  const std::optional<char32_t> ch = oneChar(standIns ? original(key) : key);
  const auto as = t.find("as");
  if (!ch || !t.is_object() || !wholeNumber(t, "sent", tally.sent) ||
      !wholeNumber(t, "correct", tally.correct) || !wholeNumber(t, "missed", tally.missed) ||
      as == t.end() || !as->is_object()) {
    return std::nullopt;
  }
  tally.ch = *ch;
  std::int64_t wrong = 0;
  for (const auto& [writtenKey, n] : as->items()) {
    const std::optional<char32_t> written = oneChar(standIns ? original(writtenKey) : writtenKey);
    std::int32_t times = 0;
    if (!written || !wholeNumber(n, times) || times == 0) return std::nullopt;
    tally.takenFor.emplace_back(*written, times);
    wrong += times;
  }
  std::sort(tally.takenFor.begin(), tally.takenFor.end());
  for (std::size_t k = 1; k < tally.takenFor.size(); ++k) {
    if (tally.takenFor[k].first == tally.takenFor[k - 1].first) return std::nullopt;
  }
  if (std::int64_t{tally.correct} + tally.missed + wrong != tally.sent) return std::nullopt;
  return tally;
}

std::optional<CheckRecord> recordOf(const Json& j, const KeysSeen& seen, bool standIns) {
  CheckRecord r;
  if (!j.is_object() || seen.tooDeep) return std::nullopt;
  const std::string* time = text(j, "time");
  const std::string* source = text(j, "source");
  const std::optional<std::int64_t> t = time ? parseUtc(*time) : std::nullopt;
  const auto kind =
      source ? std::find(std::begin(kTextSourceNames), std::end(kTextSourceNames), *source)
             : std::end(kTextSourceNames);
  const auto chars = j.find("chars");
  RecordSettings& s = r.settings;
  if (!t || kind == std::end(kTextSourceNames) || !wholeNumber(j, "speed", s.speed, true) ||
      !wholeNumber(j, "tone", s.frequency, true) || !wholeNumber(j, "noise", s.noise, true) ||
      !wholeNumber(j, "groups", s.groups, true) || !wholeNumber(j, "sent", r.sent) ||
      !wholeNumber(j, "correct", r.correct) || !wholeNumber(j, "wrong", r.wrong) ||
      !wholeNumber(j, "missed", r.missed) || !wholeNumber(j, "extra", r.extra) ||
      chars == j.end() || !chars->is_object() || chars->size() != seen.chars) {
    return std::nullopt;
  }
  r.time = *t;
  s.source = static_cast<TextSource>(kind - std::begin(kTextSourceNames));
  if (const auto file = j.find("file"); file != j.end()) {
    if (!file->is_string()) return std::nullopt;
    s.file = standIns ? original(file->get_ref<const std::string&>()) : file->get<std::string>();
  }
  if (std::int64_t{r.correct} + r.wrong + r.missed != r.sent) return std::nullopt;
  std::size_t takenFor = 0;
  for (const auto& [key, t] : chars->items()) {
    std::optional<CharTally> tally = tallyOf(key, t, standIns);
    if (!tally) return std::nullopt;
    takenFor += tally->takenFor.size();
    r.chars.push_back(std::move(*tally));
  }
  if (takenFor != seen.takenFor) return std::nullopt;
  std::sort(r.chars.begin(), r.chars.end(),
            [](const CharTally& a, const CharTally& b) { return a.ch < b.ch; });
  for (std::size_t k = 1; k < r.chars.size(); ++k) {
    if (r.chars[k].ch == r.chars[k - 1].ch) return std::nullopt;  // two keys of one character
  }
  return r;
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
    if (s.mark == Mark::Wrong) countCharacter(t->takenFor, s.written);
  }
  std::sort(r.chars.begin(), r.chars.end(),
            [](const CharTally& a, const CharTally& b) { return a.ch < b.ch; });
  for (CharTally& t : r.chars) std::sort(t.takenFor.begin(), t.takenFor.end());
  return r;
}

std::string formatUtc(std::int64_t time) {
  const auto t = static_cast<std::time_t>(time);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

std::optional<std::int64_t> parseUtc(std::string_view text) {
  // Exactly "YYYY-MM-DDTHH:MM:SSZ".
  static constexpr std::string_view kShape = "0000-00-00T00:00:00Z";
  if (text.size() != kShape.size()) return std::nullopt;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const bool digit = text[k] >= '0' && text[k] <= '9';
    if (kShape[k] == '0' ? !digit : text[k] != kShape[k]) return std::nullopt;
  }
  const auto number = [&](std::size_t at, std::size_t length) {
    int out = 0;
    for (std::size_t k = at; k < at + length; ++k) out = out * 10 + (text[k] - '0');
    return out;
  };
  const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
  const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60 ||
      year < 1970) {
    return std::nullopt;
  }
  namespace chrono = std::chrono;
  // A day past the month's end counts on into the next month, as it always has.
  const chrono::sys_days date{chrono::year{year} / chrono::month{static_cast<unsigned>(month)} /
                              chrono::day{static_cast<unsigned>(day)}};
  return std::int64_t{date.time_since_epoch().count()} * 86400 + hour * 3600 + minute * 60 + second;
}

std::string toJsonLine(const CheckRecord& r) {
  const bool standIns = r.settings.source == TextSource::File && !isValidUtf8(r.settings.file);
  const auto text = [&](const std::string& s) { return standIns ? standIn(s) : s; };
  nlohmann::ordered_json j;
  j["time"] = formatUtc(r.time);
  j["source"] = std::string(kTextSourceNames[static_cast<std::size_t>(r.settings.source)]);
  if (r.settings.source == TextSource::File) j["file"] = text(r.settings.file);
  j["speed"] = r.settings.speed;
  j["tone"] = r.settings.frequency;
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
  const bool standIns = !isValidUtf8(line);
  KeysSeen seen;
  // Fields a later version adds are left out of the document.
  const Json::parser_callback_t keep = [&seen](int depth, Json::parse_event_t event, Json& value) {
    if (depth > kMaxDepth) seen.tooDeep = true;
    if (event != Json::parse_event_t::key) return !seen.tooDeep;
    const std::string& key = value.get_ref<const std::string&>();
    if (depth == 1) {
      static constexpr std::string_view kFields[] = {"time",   "source", "file", "speed",   "tone",
                                                     "noise",  "groups", "sent", "correct", "wrong",
                                                     "missed", "extra",  "chars"};
      seen.field = key;
      return std::find(std::begin(kFields), std::end(kFields), key) != std::end(kFields);
    }
    if (seen.field != "chars") return true;
    if (depth == 2) ++seen.chars;
    if (depth == 3) seen.tallyField = key;
    if (depth == 4 && seen.tallyField == "as") ++seen.takenFor;
    return true;
  };
  const Json j =
      standIns ? Json::parse(standIn(line), keep, false) : Json::parse(line, keep, false);
  return recordOf(j, seen, standIns);
}

}  // namespace kelvak
