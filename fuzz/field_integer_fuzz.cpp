// libFuzzer target: the field integer conversion either returns a value that reads back the same
// or throws the program's message for exactly that text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/error.h"
#include "text/int_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const std::int32_t value = kelvak::fieldInteger(text);
    // A decimal result must read back as the same number.
    const std::string decimal = std::to_string(value);
    if (kelvak::fieldInteger(decimal) != value) std::abort();
  } catch (const kelvak::KelvakError& e) {
    // Compared as C strings: a NUL inside the text ends the message where the text has it.
    const std::string expected = "'" + text + "' is not a valid integer value";
    if (std::strcmp(e.what(), expected.c_str()) != 0) std::abort();
  }
  return 0;
}
