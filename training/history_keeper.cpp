// Reading the history off the window's thread and keeping it up to date.
#include "training/history_keeper.h"

#include "base/error.h"
#include "files/regular_file.h"

namespace kelvak {

HistoryKeeper::HistoryKeeper(const History& history, Post post)
    : history_(history), post_(std::move(post)) {}

HistoryKeeper::~HistoryKeeper() {
  *alive_ = false;
  if (thread_.joinable()) thread_.join();
}

void HistoryKeeper::start() {
  if (!ready_ && !reading_) readWhole();
}

void HistoryKeeper::readWhole() {
  if (thread_.joinable()) thread_.join();  // a reading before, through
  std::int64_t size = 0;
  try {
    size = RegularFile(history_.path()).size();
  } catch (const FileReadError&) {
    // Missing or no regular file: said at once by the reading in place.
  }
  if (size <= kHistoryReadInPlaceBytes) {
    ready_ = true;
    current_ = HistoryReading{};
    try {
      history_.update(current_);
      error_.clear();
    } catch (const KelvakError& e) {
      error_ = std::string(e.what()) + " (" + history_.path() + ").";
    }
    return;
  }
  reading_ = true;
  thread_ = std::thread([this, alive = alive_] {
    auto fresh = std::make_shared<HistoryReading>();
    auto error = std::make_shared<std::string>();
    try {
      history_.update(*fresh);
    } catch (const KelvakError& e) {
      *error = std::string(e.what()) + " (" + history_.path() + ").";
    }
    post_([this, alive, fresh, error] {
      if (!*alive) return;
      if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
      current_ = std::move(*fresh);
      error_ = *error;
      reading_ = false;
      ready_ = true;
      update();  // what was appended meanwhile
      if (changed) changed();
    });
  });
}

void HistoryKeeper::update() {
  if (!ready_) return;
  try {
    if (history_.update(current_, false)) {
      error_.clear();
      return;
    }
  } catch (const KelvakError& e) {
    error_ = std::string(e.what()) + " (" + history_.path() + ").";
    return;
  }
  // Replaced or cut shorter by another program: what was read stays shown until the new comes.
  ready_ = false;
  readWhole();
}

std::optional<CheckRecord> HistoryKeeper::removeLastCheck() {
  const bool wholeRead = ready_ && current_.valid;
  const std::int64_t offset = current_.offset;
  std::optional<RemovedCheck> removed = kelvak::removeLastCheck(history_);
  if (!removed) return std::nullopt;
  // The file was the one read, to its end: the summary takes the check back and reads on from
  // the new file. Anything else is read anew.
  bool kept =
      wholeRead && removed->fileBytes == offset && current_.summary.removeLast(removed->record);
  if (kept) {
    try {
      RegularFile file(history_.path());
      current_.device = static_cast<std::uint64_t>(file.device());
      current_.inode = static_cast<std::uint64_t>(file.inode());
      current_.offset -= removed->lineBytes;
      --current_.lines;
    } catch (const FileReadError&) {
      kept = false;
    }
  }
  if (!kept && !reading_) {
    ready_ = false;
    readWhole();
  }
  update();
  return std::move(removed->record);
}

}  // namespace kelvak
