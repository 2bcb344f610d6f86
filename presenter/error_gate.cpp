// Error dispatch for window events.
#include "presenter/error_gate.h"

namespace kelvak {

bool ErrorGate::run(const std::function<void()>& handler) {
  std::string message;
  try {
    handler();
    return true;
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "Unknown error";
  }
  report(message);
  return false;
}

void ErrorGate::report(const std::string& message) {
  if (!onScreen_.insert(message).second) return;
  struct Erase {
    std::set<std::string>& set;
    const std::string& key;
    ~Erase() { set.erase(key); }
  } erase{onScreen_, message};
  reporter_.showErrorReport(message + ".");
}

}  // namespace kelvak
