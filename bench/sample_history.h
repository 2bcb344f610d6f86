// Plausible history records for the benchmarks and the pictures: a learner who makes fewer errors
// and goes faster as the checks go on, confusing the characters learners confuse.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "training/check_record.h"
#include "training/copy_check.h"

namespace kelvak::bench {

// Sent text of `groups` groups of the alphabet, and a copy of it with errors at rate `errorRate`.
inline std::pair<std::u32string, std::u32string> sampleCopy(int groups,
                                                            const std::u32string& alphabet,
                                                            double errorRate, std::mt19937& gen) {
  // Characters whose Morse codes differ in one element, mistaken for each other.
  static const std::u32string kLike[] = {U"шщч", U"54х", U"67б", U"90о", U"12", U"ие",
                                         U"сх",  U"жв",  U"ыя",  U"юя",  U"38"};
  std::uniform_real_distribution<double> roll(0, 1);
  std::u32string sent, copy;
  for (int k = 0; k < groups * 5; ++k) {
    const char32_t c = alphabet[gen() % alphabet.size()];
    sent += c;
    if (k % 5 == 0) copy += U' ';
    const double r = roll(gen);
    if (r >= errorRate) {
      copy += c;
    } else if (r < errorRate * 0.6) {
      char32_t w = alphabet[gen() % alphabet.size()];
      for (const std::u32string& like : kLike) {
        const auto at = like.find(c);
        if (at != std::u32string::npos)
          w = like[(at + 1 + gen() % (like.size() - 1)) % like.size()];
      }
      copy += w;
    } else if (r < errorRate * 0.85) {
      // missed
    } else {
      copy += c;
      copy += alphabet[gen() % alphabet.size()];
    }
  }
  return {sent, copy};
}

// Makes `count` records one by one and hands each to `take`, holding only one at a time.
template <typename Take>
void forEachSample(int count, unsigned seed, std::int64_t start, Take take) {
  static const std::u32string kDigits = U"0123456789";
  static const std::u32string kLetters = U"абвгдежзийклмнопрстуфхцчшщыьэюя";
  std::mt19937 gen(seed);
  for (int i = 0; i < count; ++i) {
    const double progress = count > 1 ? static_cast<double>(i) / (count - 1) : 1.0;
    RecordSettings s;
    s.source = i % 3 == 2 ? TextSource::Letters : TextSource::Digits;
    s.speed = 8 + static_cast<int>(progress * 12) - static_cast<int>(gen() % 2);
    s.frequency = 600;
    s.noise = i % 4 == 0 ? 20 : 0;
    s.groups = 30;
    const double errorRate = 0.22 - 0.17 * progress + 0.04 * (gen() % 100) / 100.0;
    const auto [sent, copy] =
        sampleCopy(s.groups, s.source == TextSource::Letters ? kLetters : kDigits, errorRate, gen);
    take(makeRecord(checkCopy(sent, copy), s, start + i * 3600));
  }
}

inline std::vector<CheckRecord> sampleHistory(int count, unsigned seed = 11,
                                              std::int64_t start = 1'796'000'000) {
  std::vector<CheckRecord> out;
  out.reserve(static_cast<std::size_t>(count));
  forEachSample(count, seed, start, [&](CheckRecord r) { out.push_back(std::move(r)); });
  return out;
}

}  // namespace kelvak::bench
