// The record of one check as the history keeps it: when, with which settings, and how each
// character came out; written and read as one line of JSON.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "playback/settings.h"
#include "training/copy_check.h"

namespace kelvak {

// What was sent, as the record names it.
enum class TextSource : std::uint8_t { Digits, Letters, Mixture, File };
// Each kind's name in the history, in the enum's order.
inline constexpr std::string_view kTextSourceNames[] = {"digits", "letters", "mixture", "file"};

// The settings of the checked transmission.
struct RecordSettings {
  TextSource source = TextSource::Digits;
  std::string file;  // the file's name with the file source (UTF-8)
  // Groups per minute, the tone [Hz] and the noise in percent of full level as the window shows.
  int speed = settingRow(Setting::Speed).initial;
  int frequency = settingRow(Setting::Tone).initial;
  int noise = settingRow(Setting::Noise).initialValue();
  int groups = 0;  // groups sent, the last one maybe partial
};

// How often one character was sent and what it was taken for.
struct CharTally {
  char32_t ch = 0;
  std::int32_t sent = 0;
  std::int32_t correct = 0;
  std::int32_t missed = 0;
  // Written instead of it, with how often, by written character in ascending order.
  std::vector<std::pair<char32_t, std::int32_t>> takenFor;

  std::int32_t takenForCount(char32_t written) const;
};

struct CheckRecord {
  std::int64_t time = 0;  // [s] since 1970-01-01 UTC
  RecordSettings settings;
  std::int32_t sent = 0, correct = 0, wrong = 0, missed = 0, extra = 0;
  std::vector<CharTally> chars;  // by sent character in ascending order

  const CharTally* tally(char32_t sentChar) const;  // null when it was not sent
};

CheckRecord makeRecord(const CheckResult& result, const RecordSettings& settings,
                       std::int64_t time);

// One line of JSON, ending with '\n', for example (one line in the file):
// {"time":"2026-12-09T12:40:00Z","source":"digits","speed":12,"tone":500,"noise":0,"groups":30,
//  "sent":150,"correct":146,"wrong":2,"missed":1,"extra":1,
//  "chars":{"1":{"sent":15,"correct":14,"missed":0,"as":{"7":1}},...}}
std::string toJsonLine(const CheckRecord& record);

// The record of one line (without or with its '\n'); nothing when the line is damaged: not JSON,
// a field missing or of the wrong kind, a count negative or out of range.
std::optional<CheckRecord> fromJsonLine(std::string_view line);

// "2026-12-09T12:40:00Z" <-> seconds since 1970 UTC.
std::string formatUtc(std::int64_t time);
std::optional<std::int64_t> parseUtc(std::string_view text);

}  // namespace kelvak
