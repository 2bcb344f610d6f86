// Catches the errors of one window event and shows each cause at most once at a time.
#pragma once

#include <exception>
#include <functional>
#include <set>
#include <string>

namespace kelvak {

// Shows the error report for a message (the message with a full stop appended) and returns when
// the user has closed it. Timer ticks may run while it is open.
class ErrorReporter {
 public:
  virtual ~ErrorReporter() = default;
  virtual void showErrorReport(const std::string& text) = 0;
};

class ErrorGate {
 public:
  explicit ErrorGate(ErrorReporter& reporter) : reporter_(reporter) {}

  // Runs one event handler. An error it throws ends the handler and is reported, unless a report
  // with the same message is already on screen (a timer that fails at every tick must not pile
  // boxes up). Returns false when the handler failed.
  bool run(const std::function<void()>& handler);

  // Reports a message as run() does.
  void report(const std::string& message);

  std::size_t reportsOnScreen() const { return onScreen_.size(); }

 private:
  ErrorReporter& reporter_;
  std::set<std::string> onScreen_;
};

}  // namespace kelvak
