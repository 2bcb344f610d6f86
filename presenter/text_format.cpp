// Numbers and dates as the windows write them.
#include "presenter/text_format.h"

#include <cstdio>
#include <ctime>

#include "text/utf8.h"

namespace kelvak {

std::string fixedText(double value, int decimals, bool comma) {
  // The exact decimal expansion first, then rounded by hand: a half goes up, as the windows have
  // always shown it (printf would round it to even).
  char exact[512];
  std::snprintf(exact, sizeof exact, "%.200f", value);
  std::string digits(exact);
  const std::size_t point = digits.find('.');
  const std::size_t cut = point + 1 + static_cast<std::size_t>(decimals);
  const bool up = digits[cut] >= '5';
  digits.resize(decimals > 0 ? cut : point);
  if (up) {
    std::size_t k = digits.size();
    while (k > 0) {
      --k;
      if (digits[k] == '.') continue;
      if (digits[k] == '-') {
        digits.insert(k + 1, "1");
        break;
      }
      if (digits[k] != '9') {
        ++digits[k];
        break;
      }
      digits[k] = '0';
      if (k == 0) digits.insert(0, "1");
    }
  }
  if (comma && decimals > 0) digits[digits.find('.')] = ',';
  return digits;
}

std::string localTimeText(std::int64_t time, const char* format) {
  const std::time_t t = static_cast<std::time_t>(time);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  char out[64];
  return std::string(out, std::strftime(out, sizeof out, format, &local));
}

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (std::size_t k = 0; k < parts.size(); ++k) out += (k > 0 ? separator : "") + parts[k];
  return out;
}

std::string readAsCyrillicText(const std::vector<std::pair<char32_t, char32_t>>& pairs) {
  std::vector<std::string> parts;
  for (const auto& [latin, cyrillic] : pairs)
    parts.push_back(utf8Of(latin) + " как " + utf8Of(cyrillic));
  return "Латинские буквы прочитаны как русские того же кода: " + joined(parts, ", ") + ".";
}

}  // namespace kelvak
