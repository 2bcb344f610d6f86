// The training menu's items on the Windows API.
#include "win32/training_menu.h"

#include "win32/main_window.h"

namespace kelvak::win32 {

namespace {

enum Item : int { kHideTextItem = 300, kWeakCharactersItem, kNewSequenceItem };

}  // namespace

TrainingMenu::TrainingMenu(MainWindow& window, ErrorGate& gate, const std::string& historyPath)
    : window_(window) {
  menu_ = CreatePopupMenu();
  AppendMenuW(menu_, MF_STRING, kHideTextItem, L"&Скрывать текст при передаче");
  AppendMenuW(menu_, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu_, MF_STRING, kWeakCharactersItem, L"Чаще с&лабые знаки");
  AppendMenuW(menu_, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu_, MF_STRING, kNewSequenceItem, L"&Новая последовательность");
  window_.insertMenu(menu_, L"Тре&нировка", [this](int id) { return command(id); });
  presenter_ = std::make_unique<TrainingPresenter>(window.presenter(), *this, gate, historyPath);
}

TrainingMenu::~TrainingMenu() { presenter_.reset(); }

bool TrainingMenu::command(int id) {
  switch (id) {
    case kHideTextItem:
      presenter_->hideTextChanged(!ticked(kHideTextItem));
      return true;
    case kWeakCharactersItem:
      presenter_->setWeakOn(!ticked(kWeakCharactersItem));
      return true;
    case kNewSequenceItem:
      presenter_->newSequenceRequested();
      return true;
    default:
      return false;
  }
}

bool TrainingMenu::ticked(int id) const {
  return (GetMenuState(menu_, static_cast<UINT>(id), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void TrainingMenu::tick(int id, bool on) {
  CheckMenuItem(menu_, static_cast<UINT>(id), MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void TrainingMenu::learningChanged(int, bool) {}
void TrainingMenu::setWeakTicked(bool on) { tick(kWeakCharactersItem, on); }
void TrainingMenu::setHideTicked(bool on) { tick(kHideTextItem, on); }
void TrainingMenu::transmissionStarted() {}
void TrainingMenu::keyExported(const ExportedKey&) {}
void TrainingMenu::checkRemoved(std::int64_t) {}

}  // namespace kelvak::win32
