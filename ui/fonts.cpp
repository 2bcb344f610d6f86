// Font choices of the windows.
#include "ui/fonts.h"

#include <QStringList>

namespace kelvak {
namespace {

QFont fontOf(const QStringList& families, QFont::StyleHint hint, int pixelSize) {
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(hint);
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace

QFont sansFont(int pixelSize) {
  return fontOf({"Liberation Sans", "Arimo", "DejaVu Sans"}, QFont::SansSerif, pixelSize);
}

QFont serifFont(int pixelSize) {
  return fontOf({"Times New Roman", "Liberation Serif", "DejaVu Serif"}, QFont::Serif, pixelSize);
}

QFont monoFont(int pixelSize) {
  return fontOf({"Courier New", "Liberation Mono", "Cousine", "DejaVu Sans Mono"},
                QFont::TypeWriter, pixelSize);
}

}  // namespace kelvak
