// Making a check's record and turning it into one line of JSON and back.
#include "training/check_record.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "text/code_pages.h"
#include "training/json.h"

namespace kelvak {

namespace {

constexpr const char* kSourceNames[] = {"digits", "letters", "mixture", "file"};
// Counts of one record stay far below this; a larger number is damage.
constexpr double kMaxCount = 1e9;

void field(std::string& out, const char* name) {
  out += '"';
  out += name;
  out += "\":";
}

void integer(std::string& out, const char* name, std::int64_t v) {
  field(out, name);
  out += std::to_string(v);
  out += ',';
}

bool readCount(const json::Value& object, const char* name, std::int32_t& out) {
  const json::Value* v = object.find(name);
  if (!v || v->kind != json::Value::Kind::Number) return false;
  if (!(v->number >= 0 && v->number <= kMaxCount) || v->number != std::floor(v->number)) {
    return false;
  }
  out = static_cast<std::int32_t>(v->number);
  return true;
}

bool readInt(const json::Value& object, const char* name, int& out) {
  const json::Value* v = object.find(name);
  if (!v || v->kind != json::Value::Kind::Number || std::fabs(v->number) > kMaxCount) return false;
  out = static_cast<int>(v->number);
  return true;
}

// A key naming one character: exactly one code point of well-formed UTF-8.
std::optional<char32_t> oneChar(const std::string& key) {
  if (key.empty() || !isValidUtf8(key)) return std::nullopt;
  std::size_t pos = 0;
  const char32_t c = nextUtf8Char(key, pos);
  if (pos != key.size()) return std::nullopt;
  return c;
}

std::string utf8(char32_t c) {
  std::string out;
  appendUtf8(out, c);
  return out;
}

}  // namespace

double CheckRecord::accuracyPercent() const {
  const std::int64_t all = std::int64_t{sent} + extra;
  return all == 0 ? 0.0 : 100.0 * correct / static_cast<double>(all);
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
    CharTally& t = r.chars[s.sent];
    ++t.sent;
    if (s.mark == Mark::Correct) ++t.correct;
    if (s.mark == Mark::Missed) ++t.missed;
    if (s.mark == Mark::Wrong) ++t.takenFor[s.written];
  }
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
  int y, mo, d, h, mi, s;
  char z = 0;
  const std::string str(text);
  int used = 0;
  if (std::sscanf(str.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%n", &y, &mo, &d, &h, &mi, &s, &z,
                  &used) != 7 ||
      z != 'Z' || used != static_cast<int>(str.size())) {
    return std::nullopt;
  }
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || y < 1970) {
    return std::nullopt;
  }
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  return static_cast<std::int64_t>(timegm(&tm));
}

std::string toJsonLine(const CheckRecord& r) {
  std::string out;
  out.reserve(256 + 48 * r.chars.size());
  out += '{';
  field(out, "time");
  json::writeString(out, formatUtc(r.time));
  out += ',';
  field(out, "source");
  json::writeString(out, kSourceNames[static_cast<int>(r.settings.source)]);
  out += ',';
  if (r.settings.source == TextSource::File) {
    field(out, "file");
    json::writeString(out, r.settings.file);
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
  bool first = true;
  for (const auto& [c, t] : r.chars) {
    if (!first) out += ',';
    first = false;
    json::writeString(out, utf8(c));
    out += ":{";
    integer(out, "sent", t.sent);
    integer(out, "correct", t.correct);
    integer(out, "missed", t.missed);
    field(out, "as");
    out += '{';
    bool firstAs = true;
    for (const auto& [w, n] : t.takenFor) {
      if (!firstAs) out += ',';
      firstAs = false;
      json::writeString(out, utf8(w));
      out += ':';
      out += std::to_string(n);
    }
    out += "}}";
  }
  out += "}}\n";
  return out;
}

std::optional<CheckRecord> fromJsonLine(std::string_view line) {
  const std::optional<json::Value> doc = json::parse(line);
  if (!doc || doc->kind != json::Value::Kind::Object) return std::nullopt;
  CheckRecord r;

  const json::Value* time = doc->find("time");
  if (!time || time->kind != json::Value::Kind::String) return std::nullopt;
  const std::optional<std::int64_t> t = parseUtc(time->text);
  if (!t) return std::nullopt;
  r.time = *t;

  const json::Value* source = doc->find("source");
  if (!source || source->kind != json::Value::Kind::String) return std::nullopt;
  bool known = false;
  for (int k = 0; k < 4; ++k) {
    if (source->text == kSourceNames[k]) {
      r.settings.source = static_cast<TextSource>(k);
      known = true;
    }
  }
  if (!known) return std::nullopt;
  if (const json::Value* file = doc->find("file")) {
    if (file->kind != json::Value::Kind::String) return std::nullopt;
    r.settings.file = file->text;
  }
  if (!readInt(*doc, "speed", r.settings.speed) || !readInt(*doc, "tone", r.settings.tone) ||
      !readInt(*doc, "noise", r.settings.noise) || !readInt(*doc, "groups", r.settings.groups) ||
      !readCount(*doc, "sent", r.sent) || !readCount(*doc, "correct", r.correct) ||
      !readCount(*doc, "wrong", r.wrong) || !readCount(*doc, "missed", r.missed) ||
      !readCount(*doc, "extra", r.extra)) {
    return std::nullopt;
  }
  if (std::int64_t{r.correct} + r.wrong + r.missed != r.sent) return std::nullopt;

  const json::Value* chars = doc->find("chars");
  if (!chars || chars->kind != json::Value::Kind::Object) return std::nullopt;
  for (const auto& [key, value] : chars->fields) {
    const std::optional<char32_t> c = oneChar(key);
    if (!c || value.kind != json::Value::Kind::Object) return std::nullopt;
    CharTally& tally = r.chars[*c];
    if (!readCount(value, "sent", tally.sent) || !readCount(value, "correct", tally.correct) ||
        !readCount(value, "missed", tally.missed)) {
      return std::nullopt;
    }
    const json::Value* as = value.find("as");
    if (!as || as->kind != json::Value::Kind::Object) return std::nullopt;
    std::int64_t wrong = 0;
    for (const auto& [wkey, count] : as->fields) {
      const std::optional<char32_t> w = oneChar(wkey);
      std::int32_t n = 0;
      if (!w || count.kind != json::Value::Kind::Number || count.number < 1 ||
          count.number > kMaxCount || count.number != std::floor(count.number)) {
        return std::nullopt;
      }
      n = static_cast<std::int32_t>(count.number);
      tally.takenFor[*w] += n;
      wrong += n;
    }
    if (std::int64_t{tally.correct} + tally.missed + wrong != tally.sent) return std::nullopt;
  }
  return r;
}

}  // namespace kelvak
