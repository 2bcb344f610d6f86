// Font choices of the help window and the About box.
#include "ui/dialog_fonts.h"

#include <QStringList>

namespace kelvak {
namespace {

constexpr int kDialogFontPixels = 11;

}  // namespace

QFont dialogSansFont() {
  QFont font;
  font.setFamilies(QStringList{"Liberation Sans", "DejaVu Sans"});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(kDialogFontPixels);
  return font;
}

QFont dialogSerifFont(int pixelSize) {
  QFont font;
  font.setFamilies(QStringList{"Times New Roman", "Liberation Serif", "DejaVu Serif"});
  font.setStyleHint(QFont::Serif);
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace kelvak
