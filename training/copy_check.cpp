// The copy check: normalising both texts and aligning them by edit distance within a widening band.
#include "training/copy_check.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string_view>

#include "synth/symbol_table.h"

namespace kelvak {

namespace {

bool isSpace(char32_t c) {
  switch (c) {
    case U' ':
    case U'\t':
    case U'\n':
    case U'\r':
    case U'\v':
    case U'\f':
    case 0x00A0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
    case 0xFEFF:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200B;
  }
}

char32_t foldCase(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 0x20;
  if (c >= 0x0410 && c <= 0x042F) return c + 0x20;  // А..Я
  if (c >= 0x0400 && c <= 0x040F) c += 0x50;        // Ѐ..Џ, Ё among them
  if (c == 0x0451) return 0x0435;                   // ё -> е
  return c;
}

// Directions of the traceback, one byte per cell.
constexpr std::uint8_t kDiagonal = 0, kUp = 1, kLeft = 2;

// The edit distance alone, 64 cells at a time: the bit-vector method for the full table, with
// the sent text as the pattern in blocks of 64 rows.
std::int32_t bitDistance(std::u32string_view a, std::u32string_view b) {
  const std::size_t n = a.size();
  if (n == 0) return static_cast<std::int32_t>(b.size());
  const std::size_t blocks = (n + 63) / 64;
  // Each distinct character of the sent text gets a row of match masks; others match nothing.
  std::vector<char32_t> alphabet;
  std::vector<std::uint32_t> code(n);
  for (std::size_t i = 0; i < n; ++i) {
    auto it = std::find(alphabet.begin(), alphabet.end(), a[i]);
    if (it == alphabet.end()) it = alphabet.insert(alphabet.end(), a[i]);
    code[i] = static_cast<std::uint32_t>(it - alphabet.begin());
  }
  std::vector<std::uint64_t> peq((alphabet.size() + 1) * blocks, 0);
  for (std::size_t i = 0; i < n; ++i)
    peq[code[i] * blocks + i / 64] |= std::uint64_t{1} << (i % 64);
  const std::uint64_t* none = &peq[alphabet.size() * blocks];

  std::vector<std::uint64_t> pv(blocks, ~std::uint64_t{0}), mv(blocks, 0);
  const std::uint64_t last = std::uint64_t{1} << ((n - 1) % 64);  // row n in the last block
  std::int32_t score = static_cast<std::int32_t>(n);
  for (char32_t c : b) {
    const auto at = std::find(alphabet.begin(), alphabet.end(), c);
    const std::uint64_t* eqs = at == alphabet.end()
                                   ? none
                                   : &peq[static_cast<std::size_t>(at - alphabet.begin()) * blocks];
    int hin = 1;  // the top row counts up: D[0][j] = j
    for (std::size_t w = 0; w < blocks; ++w) {
      std::uint64_t eq = eqs[w];
      const std::uint64_t p = pv[w], m = mv[w];
      const std::uint64_t xv = eq | m;
      if (hin < 0) eq |= 1;
      const std::uint64_t xh = (((eq & p) + p) ^ p) | eq;
      std::uint64_t ph = m | ~(xh | p);
      std::uint64_t mh = p & xh;
      const std::uint64_t high = w + 1 == blocks ? last : std::uint64_t{1} << 63;
      const int hout = ((ph & high) ? 1 : 0) - ((mh & high) ? 1 : 0);
      ph <<= 1;
      mh <<= 1;
      if (hin < 0) mh |= 1;
      if (hin > 0) ph |= 1;
      pv[w] = mh | ~(xv | ph);
      mv[w] = ph & xv;
      hin = hout;
    }
    score += hin;
  }
  return score;
}

// What an alignment up to a cell costs: the errors in the high half, the missed and extra
// characters among them in the low half. Compared as one number, fewer errors come first and,
// among those, fewer missed and extra ones, that is more wrong ones.
using Cost = std::int64_t;
constexpr Cost kOneError = Cost{1} << 32;
constexpr Cost kMatch = 0, kWrongStep = kOneError, kGapStep = kOneError + 1;
constexpr Cost kFar = std::numeric_limits<Cost>::max() / 4;

std::int32_t errorsOf(Cost c) { return static_cast<std::int32_t>(c >> 32); }

// The traceback's choices, row by row, each row only over the cells that were worked out.
struct Table {
  std::vector<std::uint8_t> dir;
  std::vector<std::size_t> rowStart;
  std::vector<std::int32_t> rowLo;
  std::uint8_t at(std::int32_t i, std::int32_t j) const {
    const auto row = static_cast<std::size_t>(i);
    return dir[rowStart[row] + static_cast<std::size_t>(j - rowLo[row])];
  }
};

// `d` is the distance: a cell whose errors so far plus the least the rest can cost exceed it lies
// on no best alignment, so each row is trimmed from both ends to the cells that still may. Where
// two choices cost the same, the traceback takes a missed or an extra character before a match, so
// that it is the later characters that go unmatched: a copy written twice keeps its first copy.
Table fillBand(std::u32string_view a, std::u32string_view b, std::int32_t kLo, std::int32_t kHi,
               std::int32_t d) {
  const std::int32_t n = static_cast<std::int32_t>(a.size());
  const std::int32_t m = static_cast<std::int32_t>(b.size());
  const std::int32_t delta = m - n;
  Table t;
  t.rowStart.resize(static_cast<std::size_t>(n) + 1);
  t.rowLo.resize(static_cast<std::size_t>(n) + 1);
  std::vector<Cost> prev(static_cast<std::size_t>(m) + 2, kFar), cur(prev.size(), kFar);
  auto hopeless = [&](Cost cost, std::int32_t i, std::int32_t j) {
    return errorsOf(cost) + std::abs(delta - (j - i)) > d;
  };
  std::int32_t liveLo = 0, liveHi = std::min(m, kHi);
  for (std::int32_t j = 0; j <= liveHi; ++j) {
    prev[static_cast<std::size_t>(j)] = j * kGapStep;
    t.dir.push_back(kLeft);
  }
  while (liveHi > 0 && hopeless(prev[static_cast<std::size_t>(liveHi)], 0, liveHi)) {
    prev[static_cast<std::size_t>(liveHi--)] = kFar;
  }

  for (std::int32_t i = 1; i <= n; ++i) {
    // Cells left of the last row's first live cell can only be reached from dead ones.
    const std::int32_t lo = std::max({0, i + kLo, liveLo});
    const std::int32_t hi = std::min({m, i + kHi, liveHi + 1});
    t.rowStart[static_cast<std::size_t>(i)] = t.dir.size();
    t.rowLo[static_cast<std::size_t>(i)] = lo;
    t.dir.resize(t.dir.size() + static_cast<std::size_t>(hi - lo + 1));
    std::uint8_t* row = t.dir.data() + t.rowStart[static_cast<std::size_t>(i)];
    std::int32_t j = lo;
    if (j == 0) {
      cur[0] = prev[0] + kGapStep;
      row[0] = kUp;  // lo is 0
      ++j;
    } else {
      cur[static_cast<std::size_t>(j) - 1] = kFar;
    }
    const char32_t ca = a[static_cast<std::size_t>(i) - 1];
    const Cost* up = prev.data();
    Cost* out = cur.data();
    Cost left = out[j - 1];  // kept in a register: each cell waits for the one before
    for (; j <= hi; ++j) {
      // Branch-free: wrong, missed and extra are equally likely in a copy.
      const Cost diagonal =
          up[j - 1] + (ca == b[static_cast<std::size_t>(j) - 1] ? kMatch : kWrongStep);
      const Cost fromUp = up[j] + kGapStep;
      const Cost fromLeft = left + kGapStep;
      Cost best = fromLeft;
      std::uint8_t how = kLeft;
      how = fromUp <= best ? kUp : how;
      best = fromUp <= best ? fromUp : best;
      how = diagonal < best ? kDiagonal : how;
      best = diagonal < best ? diagonal : best;
      out[j] = best;
      left = best;
      row[j - lo] = how;
    }
    if (hi + 1 <= m) cur[static_cast<std::size_t>(hi) + 1] = kFar;
    liveLo = lo;
    liveHi = hi;
    while (liveLo < liveHi && hopeless(out[liveLo], i, liveLo)) out[liveLo++] = kFar;
    while (liveHi > liveLo && hopeless(out[liveHi], i, liveHi)) out[liveHi--] = kFar;
    std::swap(prev, cur);
  }
  return t;
}

}  // namespace

double accuracyPercent(std::int64_t sent, std::int64_t correct, std::int64_t extra) {
  const std::int64_t all = sent + extra;
  return all == 0 ? 0.0 : 100.0 * static_cast<double>(correct) / static_cast<double>(all);
}

std::optional<char32_t> cyrillicOfLatin(char32_t c) {
  // The international codes of the Latin letters, a to z.
  static constexpr const char* kLatinCodes[26] = {
      ".-",   "-...", "-.-.", "-..",  ".",   "..-.", "--.",  "....", "..",
      ".---", "-.-",  ".-..", "--",   "-.",  "---",  ".--.", "--.-", ".-.",
      "...",  "-",    "..-",  "...-", ".--", "-..-", "-.--", "--.."};
  static const std::array<char32_t, 26> kCyrillic = [] {
    std::array<char32_t, 26> out{};
    for (std::size_t k = 0; k < out.size(); ++k) {
      for (const Symbol& s : SymbolTable) {
        if (s.unicode >= U'а' && s.unicode <= U'я' &&
            std::string_view(s.elements) == kLatinCodes[k]) {
          out[k] = s.unicode;
        }
      }
    }
    return out;
  }();
  if (c >= U'A' && c <= U'Z') c += 0x20;
  if (c < U'a' || c > U'z' || kCyrillic[c - U'a'] == 0) return std::nullopt;
  return kCyrillic[c - U'a'];
}

char32_t comparedCharacter(char32_t c) {
  c = foldCase(c);
  return cyrillicOfLatin(c).value_or(c);
}

void countCharacter(CharCounts& counts, char32_t c) {
  auto it = std::find_if(counts.begin(), counts.end(), [c](const auto& p) { return p.first == c; });
  if (it == counts.end()) {
    counts.emplace_back(c, 1);
  } else {
    ++it->second;
  }
}

CharCounts CheckResult::missedCharacters() const {
  CharCounts out;
  for (const AlignedChar& s : steps) {
    if (s.mark == Mark::Wrong || s.mark == Mark::Missed) countCharacter(out, s.sent);
  }
  return out;
}

CharCounts CheckResult::extraCharacters() const {
  CharCounts out;
  for (const AlignedChar& s : steps) {
    if (s.mark == Mark::Extra) countCharacter(out, s.written);
  }
  return out;
}

std::u32string normalizeForCheck(std::u32string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (!isSpace(c)) out += foldCase(c);
  }
  return out;
}

CheckResult checkCopy(std::u32string_view sentText, std::u32string_view copyText) {
  CheckResult r;
  std::u32string a = normalizeForCheck(sentText);
  std::u32string b = normalizeForCheck(copyText);
  for (char32_t& c : a) c = comparedCharacter(c);
  for (char32_t& c : b) {
    const std::optional<char32_t> cyrillic = cyrillicOfLatin(c);
    if (!cyrillic) continue;
    const auto seen = std::find_if(r.readAsCyrillic.begin(), r.readAsCyrillic.end(),
                                   [&](const auto& p) { return p.first == c; });
    if (seen == r.readAsCyrillic.end()) r.readAsCyrillic.emplace_back(c, *cyrillic);
    c = *cyrillic;
  }
  const std::int32_t n = static_cast<std::int32_t>(a.size());
  const std::int32_t m = static_cast<std::int32_t>(b.size());

  // An alignment through diagonal k = j - i costs at least |k| + |(m - n) - k|, so with the
  // distance known only the diagonals where that stays within it can hold a best alignment.
  const std::int32_t d = bitDistance(a, b);
  const std::int32_t delta = m - n;
  const std::int32_t kLo = -((d - delta) / 2), kHi = (d + delta) / 2;
  const Table table = fillBand(a, b, kLo, kHi, d);

  r.steps.reserve(static_cast<std::size_t>(std::max(n, m)) + static_cast<std::size_t>(d));
  std::int32_t i = n, j = m;
  while (i > 0 || j > 0) {
    const std::uint8_t how = table.at(i, j);
    if (how == kDiagonal && i > 0 && j > 0) {
      const char32_t s = a[static_cast<std::size_t>(i - 1)], w = b[static_cast<std::size_t>(j - 1)];
      r.steps.push_back({s == w ? Mark::Correct : Mark::Wrong, s, w});
      --i, --j;
    } else if (how == kUp || j == 0) {
      r.steps.push_back({Mark::Missed, a[static_cast<std::size_t>(i - 1)], 0});
      --i;
    } else {
      r.steps.push_back({Mark::Extra, 0, b[static_cast<std::size_t>(j - 1)]});
      --j;
    }
  }
  std::reverse(r.steps.begin(), r.steps.end());

  for (const AlignedChar& s : r.steps) {
    switch (s.mark) {
      case Mark::Correct:
        ++r.correct;
        break;
      case Mark::Wrong:
        ++r.wrong;
        break;
      case Mark::Missed:
        ++r.missed;
        break;
      case Mark::Extra:
        ++r.extra;
        break;
    }
  }
  r.sent = n;
  return r;
}

}  // namespace kelvak
