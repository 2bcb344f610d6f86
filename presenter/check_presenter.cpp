// The check window's behaviour: aligning the copy, saying each character's fate and recording the
// check.
#include "presenter/check_presenter.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>

#include "base/error.h"
#include "base/system_reason.h"
#include "files/regular_file.h"
#include "presenter/text_format.h"
#include "text/utf8.h"
#include "text/utf8_path.h"

namespace kelvak {

namespace {

// Keys are told from transmissions, whose numbers count up from 1, by the top bit.
constexpr std::uint32_t kKeyNumbers = 0x80000000u;

// "a ×2, b ×1" for characters with their counts.
std::string counted(const CharCounts& list) {
  std::vector<std::string> parts;
  for (const auto& [c, n] : list) parts.push_back(utf8Of(c) + " ×" + std::to_string(n));
  return joined(parts, ", ");
}

}  // namespace

ResultLayout layOutResult(const CheckResult& result) {
  ResultLayout out;
  out.rows.emplace_back();
  int sent = 0;
  std::vector<std::string> errors;
  for (const AlignedChar& s : result.steps) {
    // Numbered as the learner counts: the sent character, or the one an extra follows.
    const std::string at = std::to_string(s.mark == Mark::Extra ? sent : sent + 1);
    ResultCell cell;
    cell.mark = s.mark;
    switch (s.mark) {
      case Mark::Correct:
        cell.top = s.sent;
        break;
      case Mark::Wrong:
        errors.push_back("знак " + at + ": передано " + utf8Of(s.sent) + ", записано " +
                         utf8Of(s.written));
        cell.top = s.sent, cell.bottom = s.written;
        break;
      case Mark::Missed:
        errors.push_back("знак " + at + ": передано " + utf8Of(s.sent) + ", не записано");
        cell.top = s.sent, cell.bottom = U'–';
        break;
      case Mark::Extra:
        errors.push_back("после знака " + at + " лишний " + utf8Of(s.written));
        cell.top = U'+', cell.bottom = s.written;
        break;
    }
    out.rows.back().push_back(cell);
    if (s.mark != Mark::Extra && ++sent % 5 == 0) {
      if (sent % (5 * ResultLayout::kGroupsPerRow) == 0) {
        out.rows.emplace_back();
      } else {
        out.rows.back().resize(out.rows.back().size() + 2);
      }
    }
  }
  if (out.rows.back().empty()) out.rows.pop_back();
  out.errorsText = errors.empty() ? "Ошибок нет."
                                  : "Ошибок: " + std::to_string(errors.size()) + ". " +
                                        joined(errors, "; ") + ".";
  return out;
}

CheckPresenter::CheckPresenter(CheckView& view, const History& history,
                               std::function<CheckSource()> source, Dispatch dispatch)
    : view_(view),
      history_(history),
      recorder_(history),
      source_(std::move(source)),
      dispatch_(std::move(dispatch)) {}

void CheckPresenter::checkClicked() {
  dispatch_([this] { check(); });
}

void CheckPresenter::openKeyClicked() {
  dispatch_([this] {
    const std::string folder =
        keys_.empty()
            ? std::string()
            : utf8String(std::filesystem::absolute(utf8Path(keys_.back().path)).parent_path());
    const std::optional<std::string> path = view_.chooseKeyFile(folder);
    if (!path) return;
    useKey(*path, keySettings ? keySettings(*path) : RecordSettings{});
  });
}

void CheckPresenter::againstChanged(int index) {
  against_ = index;
  clearResult();
}

void CheckPresenter::select(int against) {
  against_ = against;
  view_.selectAgainst(against);
  clearResult();
}

void CheckPresenter::clearResult() {
  result_ = CheckResult{};
  shown_ = CheckShown{};
  view_.showCheck(shown_);
}

void CheckPresenter::transmissionStarted() { select(0); }

void CheckPresenter::useKey(const std::string& keyPath, const RecordSettings& settings) {
  // A key holds at most a few pages; anything far larger is no key.
  constexpr std::size_t kMaxKeyBytes = 4 << 20;
  // Under the rule of every file read: a FIFO or a device is refused at once, not waited on, and
  // a file past the bound is refused whole rather than checked in part.
  std::string bytes;
  try {
    bytes = readWholeFile(keyPath, kMaxKeyBytes);
  } catch (const FileReadError& e) {
    const std::string why = e.error() == 0 ? std::string("это не обычный файл") : systemReason(e.error());
    throw KelvakError("Ключ не прочитан: " + why + " (" + keyPath + ")");
  }
  // A byte-order mark, which some editors write first, is no character of the key.
  std::u32string text = decodeUtf8(bytes);
  if (!text.empty() && text.front() == U'\uFEFF') text.erase(0, 1);
  CheckSource source = checkSourceForKey(text, settings, kKeyNumbers + ++keysRead_);
  for (std::size_t k = 0; k < keys_.size(); ++k) {
    if (keys_[k].path == keyPath) {
      keys_[k].source = std::move(source);
      select(static_cast<int>(k) + 1);
      return;
    }
  }
  keys_.push_back({keyPath, std::move(source)});
  const std::filesystem::path path = std::filesystem::absolute(utf8Path(keyPath));
  view_.addAgainstItem("ключом " + utf8String(path.filename()), utf8String(path));
  select(static_cast<int>(keys_.size()));
}

void CheckPresenter::check() {
  const CheckSource source =
      against_ <= 0 ? source_() : keys_[static_cast<std::size_t>(against_ - 1)].source;
  result_ = CheckResult{};
  shown_ = CheckShown{};
  if (source.running) {
    shown_.summary = "Передача ещё идёт: проверьте после её конца.";
  } else if (source.number == 0 || source.sent.empty()) {
    shown_.summary = "Проверять нечего: ни одного знака ещё не передано.";
  } else {
    result_ = checkCopy(source.sent, decodeUtf8(view_.copyText()));
    shown_.result = layOutResult(result_);
    shown_.summary = "Точность: " + fixedText(result_.accuracyPercent(), 1, true) +
                     " %. Передано знаков: " + std::to_string(result_.sent) +
                     ", верно: " + std::to_string(result_.correct) +
                     ", неверно: " + std::to_string(result_.wrong) +
                     ", пропущено: " + std::to_string(result_.missed) +
                     ", лишних: " + std::to_string(result_.extra) + ".";
    std::vector<std::string> notes;
    const CharCounts missed = result_.missedCharacters();
    if (missed.empty()) {
      notes.push_back(result_.extra == 0 ? "Все знаки приняты." : "Все переданные знаки приняты.");
    } else {
      notes.push_back("Не приняты: " + counted(missed) + ".");
    }
    if (result_.extra > 0) notes.push_back("Лишние: " + counted(result_.extraCharacters()) + ".");
    if (!result_.readAsCyrillic.empty()) {
      notes.push_back(readAsCyrillicText(result_.readAsCyrillic));
    }
    shown_.notes = joined(notes, " ");
    record(source);
  }
  view_.showCheck(shown_);
}

void CheckPresenter::record(const CheckSource& source) {
  const std::int64_t time = std::time(nullptr);
  std::string& said = shown_.historyNote;
  try {
    if (!recorder_.record(result_, source, time)) {
      said = "Эта передача уже записана в историю.";
      return;
    }
    said = "Записано в историю.";
  } catch (const HistoryBusyError& e) {
    // Kept to be written later: the check counts, and the learner knows it is not on the disk yet.
    said = std::string(e.what()) + " (" + history_.path() + ").";
  } catch (const KelvakError& e) {
    // The result stays on screen; the next check of this transmission tries again.
    said = std::string(e.what()) + " (" + history_.path() + ").";
    return;
  }
  view_.checkRecorded();
  if (!afterRecord) return;
  std::string more;
  try {
    more = afterRecord(result_, source, time);
  } catch (const KelvakError& e) {
    // What was written stays said; what could not be read after it is said beside it.
    more = std::string(e.what()) + " (" + history_.path() + ").";
  }
  if (!more.empty()) said += " " + more;
}

}  // namespace kelvak
