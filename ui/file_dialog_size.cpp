// Sizing of Qt's own file dialog: wide enough that sizes, types, dates and places read in full.
#include "ui/file_dialog_size.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QListView>
#include <QSplitter>
#include <QTreeView>

namespace kelvak {

namespace {

constexpr QSize kDialogSize{820, 480};  // [px] room for the detail columns in Russian
constexpr int kNameWidth = 260;         // [px] the name column at least

}  // namespace

void fitFileDialog(QFileDialog& dialog) {
  // These parts of Qt's dialog carry fixed object names.
  if (auto* details = dialog.findChild<QTreeView*>("treeView")) {
    QHeaderView* header = details->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(40);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column) {
      header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    details->setMinimumWidth(kNameWidth);
  }
  if (auto* places = dialog.findChild<QListView*>("sidebar")) {
    // Wide enough for the longest place name ("Компьютер" and the home folder).
    const int need = places->sizeHintForColumn(0) + 2 * places->frameWidth() + 8;
    if (auto* splitter = dialog.findChild<QSplitter*>("splitter")) {
      const QList<int> sizes = splitter->sizes();
      if (sizes.size() == 2 && sizes[0] < need) {
        splitter->setSizes({need, sizes[0] + sizes[1] - need});
      }
    }
  }
  dialog.resize(dialog.size().expandedTo(kDialogSize));
}

}  // namespace kelvak
