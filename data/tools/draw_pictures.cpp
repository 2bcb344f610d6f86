// Draws the pictures of the help window and the About box: the 240x180 About picture (a Morse
// key under an oscilloscope showing "CQ" as tone bursts) and the 16x16 check mark of the OK
// buttons. Run: kelvak_draw_pictures <data folder>; the PNGs are kept in the repository.
#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct Element {
  int units;  // 1 dot, 3 dash, 0 a gap between characters
};

// "CQ": -.-. --.-, with the usual spacing of one unit between elements and three between
// characters.
std::vector<Element> callSign() { return {{3}, {1}, {3}, {1}, {0}, {3}, {3}, {1}, {3}}; }

struct Burst {
  double start;   // [units]
  double length;  // [units]
};

std::vector<Burst> bursts(double& totalUnits) {
  std::vector<Burst> result;
  double t = 0;  // [units]
  for (const Element& e : callSign()) {
    if (e.units == 0) {
      t += 2;  // one unit of the three already follows the element before
      continue;
    }
    result.push_back({t, static_cast<double>(e.units)});
    t += e.units + 1;
  }
  totalUnits = t - 1;
  return result;
}

void drawScope(QPainter& p, const QRectF& screen) {
  // Bezel and screen.
  QLinearGradient bezel(screen.topLeft(), screen.bottomLeft());
  bezel.setColorAt(0, QColor(0x5a, 0x63, 0x6e));
  bezel.setColorAt(1, QColor(0x2b, 0x31, 0x38));
  p.setPen(Qt::NoPen);
  p.setBrush(bezel);
  p.drawRoundedRect(screen.adjusted(-4, -4, 4, 4), 8, 8);
  QRadialGradient glass(screen.center(), screen.width() * 0.6);
  glass.setColorAt(0, QColor(0x0c, 0x2a, 0x16));
  glass.setColorAt(1, QColor(0x03, 0x10, 0x08));
  p.setBrush(glass);
  p.drawRoundedRect(screen, 5, 5);

  // Graticule.
  p.setPen(QPen(QColor(0x2f, 0x6b, 0x3d, 110), 1));
  for (double x = screen.left() + 10; x < screen.right(); x += 20) {
    p.drawLine(QPointF(x, screen.top() + 3), QPointF(x, screen.bottom() - 3));
  }
  for (double y = screen.top() + 8; y < screen.bottom(); y += 16) {
    p.drawLine(QPointF(screen.left() + 3, y), QPointF(screen.right() - 3, y));
  }

  // The trace: a tone under the keying envelope, with short ramps so it does not click.
  double totalUnits = 0;
  const std::vector<Burst> keyed = bursts(totalUnits);
  const double x0 = screen.left() + 8;
  const double width = screen.width() - 16;
  const double midY = screen.center().y();
  const double amplitude = screen.height() * 0.36;
  const double unitPx = width / totalUnits;
  QPainterPath trace;
  for (int i = 0; i <= static_cast<int>(width * 4); ++i) {
    const double x = x0 + i / 4.0;
    const double t = (x - x0) / unitPx;  // [units]
    double envelope = 0;
    for (const Burst& b : keyed) {
      const double ramp = 0.25;  // [units]
      if (t >= b.start && t <= b.start + b.length) {
        envelope = std::min({1.0, (t - b.start) / ramp, (b.start + b.length - t) / ramp});
      }
    }
    const double y = midY - amplitude * envelope * std::sin(x * 2.1);
    if (i == 0) {
      trace.moveTo(x, y);
    } else {
      trace.lineTo(x, y);
    }
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x40, 0xff, 0x80, 60), 3.5));
  p.drawPath(trace);
  p.setPen(QPen(QColor(0x9c, 0xff, 0xb8), 1.0));
  p.drawPath(trace);

  // The same elements as dots and dashes below the screen, under their bursts.
  const double symbolsY = screen.bottom() + 13;
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xff, 0xb3, 0x2e));
  for (const Burst& b : keyed) {
    const double left = x0 + b.start * unitPx;
    const double len = b.length * unitPx;
    if (b.length < 2) {
      p.drawEllipse(QPointF(left + len / 2, symbolsY), 3.2, 3.2);
    } else {
      p.drawRoundedRect(QRectF(left, symbolsY - 3.2, len, 6.4), 3.2, 3.2);
    }
  }
}

void drawKey(QPainter& p) {
  // Wooden base with a bevelled top.
  const QRectF base(34, 143, 172, 26);
  QLinearGradient wood(base.topLeft(), base.bottomLeft());
  wood.setColorAt(0, QColor(0xb9, 0x7a, 0x45));
  wood.setColorAt(0.5, QColor(0x8e, 0x55, 0x2c));
  wood.setColorAt(1, QColor(0x5c, 0x35, 0x1a));
  p.setPen(QPen(QColor(0x3a, 0x22, 0x10), 1));
  p.setBrush(wood);
  p.drawRoundedRect(base, 5, 5);
  p.setPen(QPen(QColor(0xd8, 0x9e, 0x68, 140), 1));
  p.drawLine(QPointF(40, 146.5), QPointF(200, 146.5));
  // Grain.
  p.setPen(QPen(QColor(0x4a, 0x2a, 0x12, 70), 1));
  for (int i = 0; i < 4; ++i) {
    QPainterPath grain;
    grain.moveTo(42, 152 + i * 4);
    grain.cubicTo(90, 149 + i * 4, 140, 156 + i * 4, 198, 151 + i * 4);
    p.drawPath(grain);
  }

  // Brass parts.
  auto brass = [](const QRectF& r) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(0xff, 0xe6, 0x8a));
    g.setColorAt(0.45, QColor(0xd4, 0xa2, 0x2c));
    g.setColorAt(1, QColor(0x7d, 0x55, 0x10));
    return g;
  };
  p.setPen(QPen(QColor(0x5a, 0x3c, 0x08), 1));
  // Trunnion posts holding the pivot.
  const QRectF post(58, 124, 16, 20);
  p.setBrush(brass(post));
  p.drawRect(post);
  p.setBrush(QColor(0x3a, 0x3a, 0x3a));
  p.drawEllipse(QPointF(66, 128), 3, 3);
  // Lower contact and spring post.
  const QRectF contact(150, 134, 8, 10);
  p.setBrush(brass(contact));
  p.drawRect(contact);
  const QRectF springPost(104, 132, 8, 12);
  p.setBrush(brass(springPost));
  p.drawRect(springPost);
  // Spring, a small coil between post and lever.
  p.setPen(QPen(QColor(0xc0, 0xc0, 0xc8), 1.2));
  for (int i = 0; i < 4; ++i)
    p.drawLine(QPointF(104, 131 - i * 2.2), QPointF(112, 129.5 - i * 2.2));
  // The lever, slightly tilted up towards the knob.
  QPainterPath lever;
  lever.moveTo(52, 121);
  lever.lineTo(182, 114);
  lever.lineTo(182, 121);
  lever.lineTo(52, 127);
  lever.closeSubpath();
  p.setPen(QPen(QColor(0x5a, 0x3c, 0x08), 1));
  p.setBrush(brass(QRectF(52, 114, 130, 13)));
  p.drawPath(lever);
  // Adjusting screw with lock nut above the contact.
  p.setBrush(brass(QRectF(150, 106, 8, 10)));
  p.drawRect(QRectF(151, 107, 6, 9));
  p.setBrush(QColor(0x9a, 0x9a, 0xa2));
  p.drawRect(QRectF(148, 111, 12, 3));

  // Skirt and knob at the front end.
  QLinearGradient skirt(QPointF(160, 0), QPointF(204, 0));
  skirt.setColorAt(0, QColor(0x22, 0x22, 0x26));
  skirt.setColorAt(0.4, QColor(0x5a, 0x5a, 0x64));
  skirt.setColorAt(1, QColor(0x18, 0x18, 0x1c));
  p.setPen(QPen(QColor(0x08, 0x08, 0x0a), 1));
  p.setBrush(skirt);
  p.drawEllipse(QRectF(162, 108, 42, 10));
  QLinearGradient knob(QPointF(170, 0), QPointF(196, 0));
  knob.setColorAt(0, QColor(0x10, 0x10, 0x12));
  knob.setColorAt(0.35, QColor(0x4c, 0x4c, 0x55));
  knob.setColorAt(1, QColor(0x0c, 0x0c, 0x0e));
  p.setBrush(knob);
  QPainterPath knobPath;
  knobPath.moveTo(169, 113);
  knobPath.lineTo(170, 103);
  knobPath.cubicTo(170, 95, 196, 95, 196, 103);
  knobPath.lineTo(197, 113);
  knobPath.closeSubpath();
  p.drawPath(knobPath);
  p.setBrush(QColor(0x6a, 0x6a, 0x74));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QRectF(175, 96.5, 16, 3.5));

  // Terminal screws on the front of the base.
  for (double x : {48.0, 192.0}) {
    QRadialGradient screw(QPointF(x - 1, 154), 5);
    screw.setColorAt(0, QColor(0xf0, 0xf0, 0xf4));
    screw.setColorAt(1, QColor(0x70, 0x70, 0x78));
    p.setBrush(screw);
    p.setPen(QPen(QColor(0x30, 0x30, 0x34), 1));
    p.drawEllipse(QPointF(x, 155), 4.5, 4.5);
    p.drawLine(QPointF(x - 3, 155), QPointF(x + 3, 155));
  }
}

QImage aboutPicture() {
  QImage image(240, 180, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, 180);
  sky.setColorAt(0, QColor(0x1d, 0x2d, 0x44));
  sky.setColorAt(1, QColor(0x0a, 0x10, 0x1a));
  p.fillRect(image.rect(), sky);
  drawScope(p, QRectF(14, 10, 212, 60));
  p.translate(0, 5);
  drawKey(p);
  p.end();
  return image.convertToFormat(QImage::Format_RGB888);  // 24-bit colour, no alpha
}

QImage okMark() {
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath tick;
  tick.moveTo(2.5, 8.5);
  tick.lineTo(6.3, 12.3);
  tick.lineTo(13.5, 3.5);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x0b, 0x4f, 0x0b), 3.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(tick);
  p.setPen(QPen(QColor(0x2e, 0xb8, 0x2e), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(tick);
  p.end();
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <data folder>\n", argv[0]);
    return 2;
  }
  // Shapes only, no text: painting on a QImage needs no application object or display.
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const bool ok = aboutPicture().save(folder + "/about_picture.png", "PNG") &&
                  okMark().save(folder + "/ok_button.png", "PNG");
  if (!ok) {
    std::fprintf(stderr, "cannot write the pictures into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
