// Toolbar pictures drawn with QPainter: simple shapes, so no picture files travel with the
// program.
#include "reader/ui/imagelist.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace folio::readerui {

namespace {

constexpr int Size = 24;

const QColor Ink(40, 70, 120);
const QColor Accent(60, 140, 60);
const QColor Warn(190, 50, 40);

void arrow(QPainter& p, bool left) {
    QPainterPath path;
    if (left) {
        path.moveTo(4, 12);
        path.lineTo(12, 4);
        path.lineTo(12, 9);
        path.lineTo(20, 9);
        path.lineTo(20, 15);
        path.lineTo(12, 15);
        path.lineTo(12, 20);
    } else {
        path.moveTo(20, 12);
        path.lineTo(12, 4);
        path.lineTo(12, 9);
        path.lineTo(4, 9);
        path.lineTo(4, 15);
        path.lineTo(12, 15);
        path.lineTo(12, 20);
    }
    path.closeSubpath();
    p.setBrush(Accent);
    p.drawPath(path);
}

void magnifier(QPainter& p, int sign) {
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(3, 3, 13, 13));
    p.setPen(QPen(Ink, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.5, 14.5), QPointF(21, 21));
    p.setPen(QPen(Ink, 2));
    if (sign != 0) {
        p.drawLine(QPointF(6.5, 9.5), QPointF(12.5, 9.5));
    }
    if (sign > 0) {
        p.drawLine(QPointF(9.5, 6.5), QPointF(9.5, 12.5));
    }
}

void page(QPainter& p, qreal x, qreal y) {
    p.setBrush(Qt::white);
    p.drawRect(QRectF(x, y, 11, 14));
    p.drawLine(QPointF(x + 2, y + 4), QPointF(x + 9, y + 4));
    p.drawLine(QPointF(x + 2, y + 7), QPointF(x + 9, y + 7));
    p.drawLine(QPointF(x + 2, y + 10), QPointF(x + 7, y + 10));
}

QIcon draw(int index) {
    QPixmap pm(Size, Size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Ink, 1.5));
    switch (index) {
    case 1: // back
        arrow(p, true);
        break;
    case 2: // forward
        arrow(p, false);
        break;
    case 3: { // refresh: an open circle with an arrow head
        p.setPen(QPen(Accent, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(4, 4, 16, 16), 60 * 16, 290 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        p.drawPolygon(QPolygonF({QPointF(14, 1), QPointF(21, 6), QPointF(14, 10)}));
        break;
    }
    case 4: // stop loading: a red octagon
        p.setBrush(Warn);
        p.drawPolygon(QPolygonF({QPointF(8, 3), QPointF(16, 3), QPointF(21, 8), QPointF(21, 16),
                                 QPointF(16, 21), QPointF(8, 21), QPointF(3, 16), QPointF(3, 8)}));
        p.setPen(QPen(Qt::white, 2.5));
        p.drawLine(QPointF(8, 8), QPointF(16, 16));
        p.drawLine(QPointF(16, 8), QPointF(8, 16));
        break;
    case 5: // home
        p.setBrush(QColor(230, 190, 90));
        p.drawPolygon(QPolygonF({QPointF(12, 3), QPointF(22, 12), QPointF(19, 12), QPointF(19, 21),
                                 QPointF(5, 21), QPointF(5, 12), QPointF(2, 12)}));
        p.setBrush(Ink);
        p.drawRect(QRectF(10, 14, 4, 7));
        break;
    case 6: // bookmark ribbon
        p.setBrush(Warn);
        p.drawPolygon(QPolygonF(
            {QPointF(6, 2), QPointF(18, 2), QPointF(18, 22), QPointF(12, 16), QPointF(6, 22)}));
        break;
    case 7: // find
        magnifier(p, 0);
        break;
    case 8: // zoom in
        magnifier(p, 1);
        break;
    case 9: // zoom out
        magnifier(p, -1);
        break;
    case 10: { // about: an "i" in a circle
        p.setBrush(QColor(70, 120, 200));
        p.drawEllipse(QRectF(2, 2, 20, 20));
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 10.5), QPointF(12, 17));
        p.drawPoint(QPointF(12, 6.5));
        break;
    }
    case 11: // exit: a door with an arrow
        p.setBrush(QColor(200, 170, 120));
        p.drawRect(QRectF(4, 2, 10, 20));
        p.setPen(QPen(Warn, 2.5));
        p.drawLine(QPointF(10, 12), QPointF(21, 12));
        p.drawLine(QPointF(17, 8), QPointF(21, 12));
        p.drawLine(QPointF(17, 16), QPointF(21, 12));
        break;
    case 12: // full screen: four corners
        p.setPen(QPen(Ink, 2.5));
        p.drawPolyline(QPolygonF({QPointF(3, 9), QPointF(3, 3), QPointF(9, 3)}));
        p.drawPolyline(QPolygonF({QPointF(15, 3), QPointF(21, 3), QPointF(21, 9)}));
        p.drawPolyline(QPolygonF({QPointF(21, 15), QPointF(21, 21), QPointF(15, 21)}));
        p.drawPolyline(QPolygonF({QPointF(9, 21), QPointF(3, 21), QPointF(3, 15)}));
        break;
    case 13: // read aloud: a loudspeaker with waves
        p.setBrush(Ink);
        p.drawPolygon(QPolygonF({QPointF(3, 9), QPointF(7, 9), QPointF(12, 4), QPointF(12, 20),
                                 QPointF(7, 15), QPointF(3, 15)}));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(10, 7, 8, 10), -60 * 16, 120 * 16);
        p.drawArc(QRectF(10, 3, 12, 18), -60 * 16, 120 * 16);
        break;
    case 14: { // settings: a gear
        p.setBrush(QColor(120, 120, 130));
        QPolygonF gear;
        for (int i = 0; i < 16; ++i) {
            const qreal r = (i % 2 == 0) ? 10.5 : 7.5;
            const qreal a = i * 3.14159265 / 8;
            gear << QPointF(12 + r * std::cos(a), 12 + r * std::sin(a));
        }
        p.drawPolygon(gear);
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(9, 9, 6, 6));
        break;
    }
    case 15: // stop: a square
        p.setBrush(Warn);
        p.drawRect(QRectF(5, 5, 14, 14));
        break;
    case 16: // play
        p.setBrush(Accent);
        p.drawPolygon(QPolygonF({QPointF(6, 3), QPointF(20, 12), QPointF(6, 21)}));
        break;
    case 17: // pause
        p.setBrush(Ink);
        p.drawRect(QRectF(5, 4, 5, 16));
        p.drawRect(QRectF(14, 4, 5, 16));
        break;
    case 18: // copy: two pages
        page(p, 3, 2);
        page(p, 10, 8);
        break;
    case 19: // save: a floppy disk
        p.setBrush(Ink);
        p.drawRect(QRectF(3, 3, 18, 18));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6, 3, 12, 7));
        p.drawRect(QRectF(7, 14, 10, 7));
        break;
    case 20: { // update: a down arrow onto a tray
        p.setPen(QPen(Accent, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 3), QPointF(12, 15));
        p.drawLine(QPointF(7, 10), QPointF(12, 15));
        p.drawLine(QPointF(17, 10), QPointF(12, 15));
        p.setPen(QPen(Ink, 2));
        p.drawPolyline(
            QPolygonF({QPointF(3, 15), QPointF(3, 21), QPointF(21, 21), QPointF(21, 15)}));
        break;
    }
    case 21: // bookshelf: three book spines on a shelf
        p.setBrush(Warn);
        p.drawRect(QRectF(4, 5, 4, 15));
        p.setBrush(Accent);
        p.drawRect(QRectF(9, 3, 4, 17));
        p.setBrush(QColor(70, 120, 200));
        p.drawRect(QRectF(14, 6, 5, 14));
        p.setBrush(Ink);
        p.drawRect(QRectF(2, 20, 20, 2));
        break;
    default:
        break;
    }
    p.end();
    return QIcon(pm);
}

} // namespace

ImageList::ImageList(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("ImgIcon"));
    for (int i = 1; i <= 21; ++i) {
        m_icons.push_back(draw(i));
    }
}

QIcon ImageList::icon(int index) const {
    if (index < 1 || index > m_icons.size()) {
        return {};
    }
    return m_icons[index - 1];
}

} // namespace folio::readerui
