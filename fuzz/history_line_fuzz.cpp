// libFuzzer target: a line of the history file, whatever its bytes, is read or refused without a
// fault, and a record that is read writes out to a line that reads back as the same record.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "training/check_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::optional<kelvak::CheckRecord> r = kelvak::fromJsonLine(line);
  if (!r) return 0;
  if (r->correct + r->wrong + r->missed != r->sent) std::abort();
  const std::string written = kelvak::toJsonLine(*r);
  const std::optional<kelvak::CheckRecord> again = kelvak::fromJsonLine(written);
  if (!again || kelvak::toJsonLine(*again) != written) std::abort();
  return 0;
}
