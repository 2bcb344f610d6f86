// Sizing of Qt's own file dialog: wide enough that sizes, types, dates and places read in full, and
// in Russian.
#include "ui/file_dialog_size.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QListView>
#include <QLocale>
#include <QSplitter>
#include <QTreeView>

namespace kelvak {

namespace {

constexpr QSize kDialogSize{820, 480};  // [px] room for the detail columns in Russian

// The file list's size, kind and date in Russian: Qt's file model writes them in the system's
// language, which under the C locale is English, whatever translation the program loads.
class RussianFileColumns : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;
  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || index.column() == 0) {
      return QIdentityProxyModel::data(index, role);
    }
    const QModelIndex source = mapToSource(index);
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    switch (index.column()) {
      case 1:
        return files->isDir(source) ? QVariant(QString())
                                    : QVariant(russian.formattedDataSize(files->size(source)));
      case 2: {
        if (files->isDir(source)) return QString::fromUtf8("Папка");
        const QString suffix = files->fileInfo(source).suffix();
        return suffix.isEmpty() ? QString::fromUtf8("Файл")
                                : QString::fromUtf8("Файл %1").arg(suffix.toUpper());
      }
      case 3:
        return russian.toString(files->lastModified(source), "dd.MM.yyyy HH:mm");
      default:
        return QIdentityProxyModel::data(index, role);
    }
  }
};
constexpr int kNameWidth = 260;  // [px] the name column at least

}  // namespace

void fitFileDialog(QFileDialog& dialog) {
  if (!dialog.proxyModel()) dialog.setProxyModel(new RussianFileColumns(&dialog));
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
