// The export's thread and what it reports to the window.
#include "presenter/export_worker.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace kelvak {

ExportWorker::ExportWorker(const ExportWork& work, std::function<void()> ended)
    : thread_([this, &work, ended = std::move(ended)] {
        try {
          run_.completed = work([this](std::int64_t d, std::int64_t t) {
            // The total first: progress() reads the two apart, and must never see a done of
            // the new total over the first report's total of 1.
            total_ = std::max<std::int64_t>(t, 1);
            done_ = d;
            return !cancel_.load();
          });
        } catch (...) {
          run_.failure = std::current_exception();
        }
        finished_ = true;
        if (ended) ended();
      }) {}

ExportWorker::~ExportWorker() {
  if (thread_.joinable()) {
    cancel_ = true;
    thread_.join();
  }
}

ExportRun ExportWorker::join() {
  if (thread_.joinable()) thread_.join();
  return run_;
}

}  // namespace kelvak
