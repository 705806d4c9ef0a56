#include "color_button.h"

#include "com/olecolor.h"

#include <QColorDialog>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace kavro::trainer {

QColor toQColor(COLORREF c)
{
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

COLORREF fromQColor(const QColor& c)
{
    return rgb(c.red(), c.green(), c.blue());
}

ColorButton::ColorButton(COLORREF color, QWidget* parent) : QPushButton(parent), color_(color)
{
    connect(this, &QPushButton::clicked, this, &ColorButton::chooseColor);
}

void ColorButton::setColor(COLORREF color)
{
    color_ = color;
    update();
}

void ColorButton::chooseColor()
{
    setDown(true);
    QColorDialog dialog(toQColor(color_), this);
    QPoint at = mapToGlobal(rect().bottomLeft());
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        const QSize size = dialog.sizeHint();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - size.width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - size.height())));
    }
    dialog.move(at);
    const bool chosen = dialog.exec() == QDialog::Accepted;
    setDown(false);
    if (chosen) {
        setColor(fromQColor(dialog.selectedColor()));
        emit colorChosen(color_);
    }
}

void ColorButton::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    p.drawControl(QStyle::CE_PushButtonBevel, option);
    const QRect swatch = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).adjusted(1, 1, -1, -1);
    p.fillRect(swatch, toQColor(color_));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawRect(swatch.adjusted(0, 0, -1, -1));
}

} // namespace kavro::trainer
