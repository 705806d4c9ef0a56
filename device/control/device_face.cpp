#include "device/control/device_face.h"

#include "com/olecolor.h"

#include <QPainter>

namespace kavro {

namespace {

QColor colourOf(COLORREF c)
{
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

// A target face with a sensor under its barrel line, in a 16 x 15 cell.
void paintBitmap(QPainter& painter, const QPoint& origin)
{
    painter.save();
    painter.translate(origin);
    painter.setRenderHint(QPainter::Antialiasing, false);
    // The target card.
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(0, 0, 10, 10);
    // Its black and its rings.
    painter.setBrush(Qt::black);
    painter.drawEllipse(QPoint(5, 5), 3, 3);
    painter.setPen(Qt::white);
    painter.drawPoint(5, 5);
    // The sensor: a grey body with a red lens looking at the card.
    painter.setPen(Qt::black);
    painter.setBrush(QColor(128, 128, 128));
    painter.drawRect(9, 11, 6, 3);
    painter.setPen(QColor(255, 0, 0));
    painter.drawLine(12, 10, 10, 8);
    painter.restore();
}

} // namespace

void paintDeviceFace(QPainter& painter, const QRect& bounds)
{
    if (bounds.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(bounds, colourOf(systemColor(COLOR_BTNFACE)));
    // Sunken: the shadow along the top and left, the highlight along the bottom and right.
    const QPoint tl = bounds.topLeft(), br = bounds.bottomRight();
    painter.setPen(colourOf(systemColor(COLOR_BTNSHADOW)));
    painter.drawLine(tl, QPoint(br.x(), tl.y()));
    painter.drawLine(tl, QPoint(tl.x(), br.y()));
    painter.setPen(colourOf(systemColor(COLOR_BTNHIGHLIGHT)));
    painter.drawLine(QPoint(tl.x() + 1, br.y()), br);
    painter.drawLine(QPoint(br.x(), tl.y() + 1), br);
    paintBitmap(painter,
                QPoint(bounds.x() + (bounds.width() - kDeviceBitmapWidth) / 2,
                       bounds.y() + (bounds.height() - kDeviceBitmapHeight) / 2));
    painter.restore();
}

void DeviceFaceWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintDeviceFace(painter, rect());
}

} // namespace kavro
