// Numbers and dates as the windows write them.
#include "presenter/text_format.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "text/utf8.h"

namespace kelvak {

std::string fixedText(double value, int decimals, bool comma) {
  // printf rounds an exact half to even; the windows have always shown it rounded up.
  const double scale = std::pow(10.0, decimals), scaled = value * scale;
  const bool half = std::fma(value, scale, -scaled) == 0 && scaled - std::floor(scaled) == 0.5;
  char out[64];
  std::snprintf(out, sizeof out, "%.*f", decimals, half ? std::nextafter(value, HUGE_VAL) : value);
  std::string text(out);
  if (comma && decimals > 0) text[text.find('.')] = ',';
  return text;
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
