// How the windows write numbers, dates and characters in their texts.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kelvak {

// `value` with `decimals` digits after the point, a half rounded up; `comma` writes the Russian
// decimal comma instead of the point.
std::string fixedText(double value, int decimals, bool comma = false);

// A moment [s since 1970] in local time, as strftime's `format` writes it.
std::string localTimeText(std::int64_t time, const char* format);

// The parts with `separator` between them.
std::string joined(const std::vector<std::string>& parts, const std::string& separator);

// "Латинские буквы прочитаны как русские того же кода: a как а, …." for the Latin letters of a
// copy that were read as the Cyrillic letters of the same Morse code.
std::string readAsCyrillicText(const std::vector<std::pair<char32_t, char32_t>>& pairs);

}  // namespace kelvak
