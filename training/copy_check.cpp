// The copy check: normalising both texts and aligning them by edit distance within a widening band.
#include "training/copy_check.h"

#include <algorithm>
#include <limits>

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

// Directions of the traceback, one byte per cell of the band.
enum Step : std::uint8_t { kDiagonal, kUp, kLeft };

constexpr std::int32_t kFar = std::numeric_limits<std::int32_t>::max() / 2;

// Edit distance restricted to cells with |i - j| <= band; fills `dir` with the choices. Returns
// the distance found within the band, which is the true one whenever it is <= band (a path that
// leaves the band already costs more than band).
std::int32_t bandDistance(std::u32string_view a, std::u32string_view b, std::int32_t band,
                          std::vector<std::uint8_t>& dir, std::int32_t& width) {
  const std::int32_t n = static_cast<std::int32_t>(a.size());
  const std::int32_t m = static_cast<std::int32_t>(b.size());
  width = std::min(2 * band + 1, m + 1);
  dir.assign(static_cast<std::size_t>(n + 1) * static_cast<std::size_t>(width), kDiagonal);
  // Row i covers j = lo(i) .. hi(i); its cells are stored from column lo(i) on.
  auto lo = [&](std::int32_t i) { return std::max(0, std::min(i - band, m + 1 - width)); };
  std::vector<std::int32_t> prev(static_cast<std::size_t>(m) + 2, kFar), cur(prev.size(), kFar);
  for (std::int32_t j = 0; j <= std::min(m, band); ++j) {
    prev[static_cast<std::size_t>(j)] = j;
    dir[static_cast<std::size_t>(j - lo(0))] = kLeft;
  }
  for (std::int32_t i = 1; i <= n; ++i) {
    const std::int32_t l = lo(i);
    const std::int32_t h = std::min(m, i + band);
    std::uint8_t* row = &dir[static_cast<std::size_t>(i) * static_cast<std::size_t>(width)];
    if (l > 0) cur[static_cast<std::size_t>(l - 1)] = kFar;
    const char32_t ca = a[static_cast<std::size_t>(i - 1)];
    for (std::int32_t j = l; j <= h; ++j) {
      const std::size_t uj = static_cast<std::size_t>(j);
      std::int32_t best;
      std::uint8_t how;
      if (j == 0) {
        best = prev[0] + 1;
        how = kUp;
      } else {
        best = prev[uj - 1] + (ca == b[uj - 1] ? 0 : 1);
        how = kDiagonal;
        if (prev[uj] + 1 < best) best = prev[uj] + 1, how = kUp;
        if (cur[uj - 1] + 1 < best) best = cur[uj - 1] + 1, how = kLeft;
      }
      cur[uj] = best;
      row[j - l] = how;
    }
    // Cells beyond the band of this row count as unreachable for the next one.
    if (h + 1 <= m) cur[static_cast<std::size_t>(h) + 1] = kFar;
    std::swap(prev, cur);
  }
  return prev[static_cast<std::size_t>(m)];
}

}  // namespace

double CheckResult::accuracyPercent() const {
  const std::int32_t all = sent + extra;
  return all == 0 ? 0.0 : 100.0 * correct / all;
}

std::vector<std::pair<char32_t, std::int32_t>> CheckResult::missedCharacters() const {
  std::vector<std::pair<char32_t, std::int32_t>> out;
  for (const AlignedChar& s : steps) {
    if (s.mark != Mark::Wrong && s.mark != Mark::Missed) continue;
    auto it =
        std::find_if(out.begin(), out.end(), [&](const auto& p) { return p.first == s.sent; });
    if (it == out.end()) {
      out.emplace_back(s.sent, 1);
    } else {
      ++it->second;
    }
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
  const std::u32string a = normalizeForCheck(sentText);
  std::u32string b = normalizeForCheck(copyText);
  std::u32string overhang;
  if (b.size() > a.size() + kMaxOverhang) {
    overhang = b.substr(a.size() + kMaxOverhang);
    b.resize(a.size() + kMaxOverhang);
  }
  const std::int32_t n = static_cast<std::int32_t>(a.size());
  const std::int32_t m = static_cast<std::int32_t>(b.size());

  // A good copy has few errors: a narrow band finds it quickly, and the band doubles only as long
  // as the distance found could still be beaten by a path outside it.
  std::vector<std::uint8_t> dir;
  std::int32_t width = 0;
  std::int32_t band = std::max(std::abs(n - m), 8);
  for (;;) {
    const std::int32_t d = bandDistance(a, b, band, dir, width);
    if (d <= band || band >= std::max(n, m)) break;
    band = std::min(band * 2, std::max(n, m));
  }

  CheckResult r;
  std::int32_t i = n, j = m;
  auto lo = [&](std::int32_t row) { return std::max(0, std::min(row - band, m + 1 - width)); };
  while (i > 0 || j > 0) {
    const std::uint8_t how = dir[static_cast<std::size_t>(i) * static_cast<std::size_t>(width) +
                                 static_cast<std::size_t>(j - lo(i))];
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
  for (char32_t c : overhang) r.steps.push_back({Mark::Extra, 0, c});

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
