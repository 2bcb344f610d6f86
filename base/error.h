// Error type of the program: every failure the user may see carries its exact message text.
#pragma once

#include <stdexcept>
#include <string>

namespace kelvak {

// Thrown by the core; the layer that dispatches a window event catches it and shows the error
// report (the message with a full stop appended).
class KelvakError : public std::runtime_error {
 public:
  explicit KelvakError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kelvak
