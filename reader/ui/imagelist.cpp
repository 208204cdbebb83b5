// The toolbar pictures of reader/core drawn with QPainter.
#include "reader/ui/imagelist.h"

#include "reader/core/toolbarpictures.h"

#include <QPainter>
#include <QPixmap>

namespace folio::readerui {

namespace {

QColor qtColour(const folio::reader::PictureColour& c) {
    return QColor(c.red, c.green, c.blue);
}

QPolygonF qtPoints(const std::vector<folio::reader::PicturePoint>& points) {
    QPolygonF polygon;
    for (const auto& p : points)
        polygon << QPointF(p.x, p.y);
    return polygon;
}

void drawShape(QPainter& p, const folio::reader::PictureShape& s) {
    using Kind = folio::reader::PictureShape::Kind;
    if (s.outlined)
        p.setPen(QPen(qtColour(s.pen), s.penWidth, Qt::SolidLine,
                      s.roundCaps ? Qt::RoundCap : Qt::SquareCap));
    else
        p.setPen(Qt::NoPen);
    p.setBrush(s.filled ? QBrush(qtColour(s.fill)) : QBrush(Qt::NoBrush));
    const QRectF box(s.box.x, s.box.y, s.box.width, s.box.height);
    switch (s.kind) {
    case Kind::Polygon:
        p.drawPolygon(qtPoints(s.points));
        break;
    case Kind::Polyline:
        p.drawPolyline(qtPoints(s.points));
        break;
    case Kind::Line:
        p.drawLine(QPointF(s.points[0].x, s.points[0].y), QPointF(s.points[1].x, s.points[1].y));
        break;
    case Kind::Point:
        p.drawPoint(QPointF(s.points[0].x, s.points[0].y));
        break;
    case Kind::Rect:
        p.drawRect(box);
        break;
    case Kind::Ellipse:
        p.drawEllipse(box);
        break;
    case Kind::Arc: // Qt counts angles in sixteenths of a degree
        p.drawArc(box, qRound(s.startDegrees * 16), qRound(s.spanDegrees * 16));
        break;
    }
}

QIcon draw(int index) {
    constexpr int Size = folio::reader::ToolbarPictureGrid;
    QPixmap pm(Size, Size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    for (const auto& shape : folio::reader::toolbarPicture(index))
        drawShape(p, shape);
    p.end();
    return QIcon(pm);
}

} // namespace

ImageList::ImageList(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("ImgIcon"));
    for (int i = 1; i <= folio::reader::ToolbarPictureCount; ++i) {
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
