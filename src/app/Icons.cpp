#include "app/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <array>

namespace zorvik::app {

namespace {

constexpr int kSmall = 16;
constexpr int kLarge = 24;

// Paints on a transparent square of `size` pixels scaled to a 16-unit grid
// (24 for the toolbars' larger pictures), so that every picture is drawn in
// one set of coordinates.
template <class Draw>
QPixmap Drawn(int size, int grid, Draw draw) {
  constexpr qreal kScale = 2;  // drawn twice as fine, for sharp edges on dense screens
  QPixmap pixmap(size * kScale, size * kScale);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size * kScale / grid, size * kScale / grid);
  draw(p);
  p.end();
  pixmap.setDevicePixelRatio(kScale);
  return pixmap;
}

// A sheet of paper with a folded corner.
void Page(QPainter& p, const QColor& fill) {
  QPainterPath sheet;
  sheet.moveTo(3, 1);
  sheet.lineTo(10, 1);
  sheet.lineTo(13, 4);
  sheet.lineTo(13, 15);
  sheet.lineTo(3, 15);
  sheet.closeSubpath();
  p.setPen(QPen(QColor(90, 90, 90), 0.8));
  p.setBrush(fill);
  p.drawPath(sheet);
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(QPolygonF({QPointF(10, 1), QPointF(10, 4), QPointF(13, 4)}));
  p.setPen(QPen(QColor(170, 170, 170), 0.8));
  for (qreal y : {7.0, 9.0, 11.0}) p.drawLine(QPointF(5, y), QPointF(11, y));
}

void Globe(QPainter& p, const QRectF& r, const QColor& sea, const QColor& lines) {
  p.setPen(QPen(lines, 0.9));
  p.setBrush(sea);
  p.drawEllipse(r);
  p.setBrush(Qt::NoBrush);
  const QPointF c = r.center();
  p.drawEllipse(QRectF(c.x() - r.width() / 4, r.top(), r.width() / 2, r.height()));
  p.drawLine(QPointF(c.x(), r.top()), QPointF(c.x(), r.bottom()));
  p.drawLine(QPointF(r.left(), c.y()), QPointF(r.right(), c.y()));
  const qreal dy = r.height() / 4;
  p.drawLine(QPointF(r.left() + r.width() * 0.07, c.y() - dy), QPointF(r.right() - r.width() * 0.07, c.y() - dy));
  p.drawLine(QPointF(r.left() + r.width() * 0.07, c.y() + dy), QPointF(r.right() - r.width() * 0.07, c.y() + dy));
}

void Magnifier(QPainter& p) {
  p.setPen(QPen(QColor(60, 60, 60), 2.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(14.5, 14.5), QPointF(21, 21));
  p.setPen(QPen(QColor(40, 70, 120), 2));
  p.setBrush(QColor(200, 225, 250, 220));
  p.drawEllipse(QRectF(3, 3, 13, 13));
}

void Octagon(QPainter& p, const QColor& fill) {
  QPolygonF shape;
  for (int i = 0; i < 8; ++i) {
    const qreal a = qDegreesToRadians(22.5 + 45.0 * i);
    shape << QPointF(12 + 10 * qCos(a), 12 + 10 * qSin(a));
  }
  p.setPen(QPen(fill.darker(150), 1.2));
  p.setBrush(fill);
  p.drawPolygon(shape);
  p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(8.5, 8.5), QPointF(15.5, 15.5));
  p.drawLine(QPointF(15.5, 8.5), QPointF(8.5, 15.5));
}

void Arrow(QPainter& p, bool left) {
  QPolygonF shape({QPointF(3, 12), QPointF(11, 4), QPointF(11, 8.5), QPointF(21, 8.5), QPointF(21, 15.5),
                   QPointF(11, 15.5), QPointF(11, 20)});
  if (!left) {
    for (QPointF& point : shape) point.setX(24 - point.x());
  }
  p.setPen(QPen(QColor(30, 90, 40), 1.2, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
  p.setBrush(QColor(80, 170, 90));
  p.drawPolygon(shape);
}

QPixmap Picture(IconName name) {
  switch (name) {
    case IconName::TreeMatch:
      return Drawn(kSmall, 16, [](QPainter& p) {
        Page(p, QColor(235, 250, 235));
        p.setPen(QPen(QColor(20, 140, 40), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(5.5, 9.5), QPointF(8, 12.5), QPointF(13.5, 5)}));
      });
    case IconName::TreeFailed:
      return Drawn(kSmall, 16, [](QPainter& p) {
        Page(p, QColor(252, 236, 236));
        p.setPen(QPen(QColor(200, 30, 30), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5.5, 6.5), QPointF(11.5, 12.5));
        p.drawLine(QPointF(11.5, 6.5), QPointF(5.5, 12.5));
      });
    case IconName::TreeAbsolute:
      return Drawn(kSmall, 16, [](QPainter& p) {
        Page(p, Qt::white);
        Globe(p, QRectF(7.5, 7.5, 8, 8), QColor(170, 205, 245), QColor(30, 80, 160));
      });
    case IconName::TreeRelative:
      return Drawn(kSmall, 16, [](QPainter& p) {
        Page(p, Qt::white);
        p.setPen(QPen(QColor(40, 90, 170), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(7, 8), QPointF(7, 12.5), QPointF(12.5, 12.5)}));
        p.drawPolyline(QPolygonF({QPointF(10.5, 10.5), QPointF(12.5, 12.5), QPointF(10.5, 14.5)}));
      });
    case IconName::TreeResource:
      return Drawn(kSmall, 16, [](QPainter& p) {
        p.setPen(QPen(QColor(90, 90, 90), 0.8));
        p.setBrush(QColor(190, 225, 250));
        p.drawRect(QRectF(1.5, 3.5, 13, 10));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(250, 200, 60));
        p.drawEllipse(QRectF(10, 5, 3, 3));
        p.setBrush(QColor(70, 150, 70));
        p.drawPolygon(QPolygonF({QPointF(2, 13), QPointF(6.5, 7.5), QPointF(9.5, 11), QPointF(11, 9.5),
                                 QPointF(14, 13)}));
      });
    case IconName::TreeRoot:
      return Drawn(kSmall, 16, [](QPainter& p) {
        Globe(p, QRectF(1, 1, 14, 14), QColor(150, 195, 245), QColor(25, 70, 150));
      });
    case IconName::Search:
      return Drawn(kLarge, 24, [](QPainter& p) {
        Globe(p, QRectF(5.5, 5.5, 8, 8), QColor(170, 205, 245), QColor(30, 80, 160));
        Magnifier(p);
      });
    case IconName::Stop: return Drawn(kLarge, 24, [](QPainter& p) { Octagon(p, QColor(210, 40, 40)); });
    case IconName::Back: return Drawn(kLarge, 24, [](QPainter& p) { Arrow(p, true); });
    case IconName::Forward: return Drawn(kLarge, 24, [](QPainter& p) { Arrow(p, false); });
    case IconName::Refresh:
      return Drawn(kLarge, 24, [](QPainter& p) {
        p.setPen(QPen(QColor(40, 110, 180), 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(4.5, 4.5, 15, 15), 60 * 16, 290 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 110, 180));
        p.drawPolygon(QPolygonF({QPointF(13, 1.5), QPointF(19.5, 5), QPointF(13, 9)}));
      });
    case IconName::Home:
      return Drawn(kLarge, 24, [](QPainter& p) {
        p.setPen(QPen(QColor(120, 60, 30), 1.2, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
        p.setBrush(QColor(200, 80, 50));
        p.drawPolygon(QPolygonF({QPointF(2.5, 12), QPointF(12, 3), QPointF(21.5, 12)}));
        p.setBrush(QColor(245, 230, 200));
        p.drawRect(QRectF(5, 12, 14, 9));
        p.setBrush(QColor(130, 80, 40));
        p.drawRect(QRectF(10, 15, 4, 6));
      });
    case IconName::Program:
      return Drawn(48, 24, [](QPainter& p) {
        Globe(p, QRectF(1.5, 1.5, 15, 15), QColor(150, 195, 245), QColor(25, 70, 150));
        p.translate(2, 2);
        Magnifier(p);
      });
  }
  return {};
}

}  // namespace

QIcon DrawnIcon(IconName name) {
  static std::array<QIcon, static_cast<std::size_t>(IconName::Program) + 1> cache;
  QIcon& icon = cache[static_cast<std::size_t>(name)];
  if (icon.isNull()) icon = QIcon(Picture(name));
  return icon;
}

QIcon TreeIcon(int image) {
  if (image < 1 || image > 6) return {};
  return DrawnIcon(static_cast<IconName>(image - 1));
}

QPixmap BusyFrame(int frame, int size) {
  if (frame >= 0) frame %= kBusyFrames;
  return Drawn(size, 24, [frame](QPainter& p) {
    // A globe with a ring of dots; while busy, a bright dot runs round it.
    Globe(p, QRectF(6, 6, 12, 12), QColor(170, 205, 245), QColor(30, 80, 160));
    for (int i = 0; i < kBusyFrames; ++i) {
      const qreal a = qDegreesToRadians(-90.0 + 360.0 * i / kBusyFrames);
      const QPointF at(12 + 10 * qCos(a), 12 + 10 * qSin(a));
      const bool lit = i == frame;
      p.setPen(Qt::NoPen);
      p.setBrush(lit ? QColor(250, 160, 20) : QColor(160, 170, 185));
      p.drawEllipse(at, lit ? 2.2 : 1.3, lit ? 2.2 : 1.3);
    }
  });
}

}  // namespace zorvik::app
