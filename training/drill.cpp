// The drill's rule and its record.
#include "training/drill.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "base/error.h"
#include "synth/symbol_table.h"
#include "training/copy_check.h"

namespace kelvak {

std::string toJsonLine(const DrillRecord& r) {
  const nlohmann::ordered_json doc = {
      {"kind", "drill"},
      {"time", formatUtc(r.time)},
      {"source", std::string(kTextSourceNames[static_cast<std::size_t>(r.source)])},
      {"speed", r.startSpeed},
      {"endSpeed", r.endSpeed},
      {"sent", r.sent},
      {"correct", r.correct},
      {"reactionMs", r.medianReactionMs}};
  return doc.dump() + "\n";
}

std::optional<DrillRecord> drillFromJsonLine(std::string_view line) {
  try {
    const nlohmann::json doc = nlohmann::json::parse(line);
    if (doc.at("kind").get<std::string>() != "drill") return std::nullopt;
    DrillRecord r;
    const auto time = parseUtc(doc.at("time").get<std::string>());
    if (!time) return std::nullopt;
    r.time = *time;
    const auto source = doc.at("source").get<std::string>();
    const auto named = std::find(std::begin(kTextSourceNames), std::end(kTextSourceNames), source);
    if (named == std::end(kTextSourceNames)) return std::nullopt;
    r.source = static_cast<TextSource>(named - std::begin(kTextSourceNames));
    r.startSpeed = doc.at("speed").get<int>();
    r.endSpeed = doc.at("endSpeed").get<int>();
    r.sent = doc.at("sent").get<std::int32_t>();
    r.correct = doc.at("correct").get<std::int32_t>();
    r.medianReactionMs = doc.at("reactionMs").get<std::int64_t>();
    if (r.sent < 0 || r.correct < 0 || r.correct > r.sent || r.medianReactionMs < 0) {
      return std::nullopt;
    }
    return r;
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

Drill::Drill(const SymbolWeights& weights, int speed, Random random)
    : weights_(weights),
      random_(random),
      startSpeed_(std::clamp(speed, kDrillMinSpeed, kDrillMaxSpeed)),
      speed_(startSpeed_) {
  if (weights.empty()) throw KelvakError("No symbol to choose from");
}

int Drill::next() {
  current_ = weights_.pick(random_);
  return current_;
}

Drill::Outcome Drill::answer(char32_t typed, std::int64_t reactionMs) {
  if (current_ < 0) throw KelvakError("No character has sounded");
  reactionMs = std::max<std::int64_t>(reactionMs, 0);
  const char32_t sent = SymbolTable[static_cast<std::size_t>(current_)].unicode;
  const bool right = comparedCharacter(typed) == comparedCharacter(sent);
  if (const auto cyrillic = cyrillicOfLatin(typed)) {
    const char32_t latin = typed | 0x20;  // an ASCII letter, in lower case
    const auto seen = std::find_if(readAsCyrillic_.begin(), readAsCyrillic_.end(),
                                   [&](const auto& p) { return p.first == latin; });
    if (seen == readAsCyrillic_.end()) readAsCyrillic_.emplace_back(latin, *cyrillic);
  }
  answers_.push_back({current_, typed, right, reactionMs});
  Outcome out;
  out.right = right;
  if (!right) {
    streak_ = 0;
    speed_ = std::max(kDrillMinSpeed, speed_ - kSlowDownStep);
    out.replay = true;
  } else if (reactionMs <= kFastReactionMs) {
    if (++streak_ == kSpeedUpAfter) {
      streak_ = 0;
      speed_ = std::min(kDrillMaxSpeed, speed_ + 1);
    }
  } else {
    streak_ = 0;
  }
  out.speed = speed_;
  return out;
}

DrillRecord Drill::record(TextSource source, std::int64_t time) const {
  DrillRecord r;
  r.time = time;
  r.source = source;
  r.startSpeed = startSpeed_;
  r.endSpeed = speed_;
  r.sent = static_cast<std::int32_t>(answers_.size());
  std::vector<std::int64_t> times;
  for (const DrillAnswer& a : answers_) {
    if (a.right) ++r.correct;
    times.push_back(a.reactionMs);
  }
  if (!times.empty()) {
    const auto mid = times.begin() + static_cast<std::ptrdiff_t>((times.size() - 1) / 2);
    std::nth_element(times.begin(), mid, times.end());
    r.medianReactionMs = *mid;
  }
  return r;
}

}  // namespace kelvak
