#include "target_widget.h"

#include "target.h"

#include "com/olecolor.h"
#include "gdi/painter_canvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPointer>

namespace kavro::target {

TargetWidget::TargetWidget(CTarget* target, QWidget* parent) : QWidget(parent), target_(target)
{
    // The target is never mirrored, whatever the interface language.
    setLayoutDirection(Qt::LeftToRight);
    // Every pixel comes from the back buffer: nothing is erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

TargetWidget::~TargetWidget()
{
    if (target_)
        target_->widgetDestroyed();
}

void TargetWidget::invalidate()
{
    bufferValid_ = false;
    update();
}

void TargetWidget::invalidate(const GdiRect& rect)
{
    bufferValid_ = false;
    if (!rect.isEmpty())
        update(QRect(rect.left, rect.top, int(rect.width()), int(rect.height())));
}

QImage* TargetWidget::currentBuffer()
{
    if (!bufferValid_ || buffer_.size() != size())
        return nullptr;
    return &buffer_;
}

void TargetWidget::setBuffer(QImage image)
{
    buffer_ = std::move(image);
    bufferValid_ = buffer_.size() == size();
    update();
}

void TargetWidget::resizeEvent(QResizeEvent*)
{
    bufferValid_ = false;
}

void TargetWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (!target_) {
        painter.fillRect(event->rect(), toQColor(systemColor(COLOR_WINDOW)));
        return;
    }
    if (!bufferValid_ || buffer_.size() != size()) {
        // Every pixel is painted again: a buffer that no picture handed out shares is reused.
        if (buffer_.size() != size() || buffer_.format() != QImage::Format_RGB32 || !buffer_.isDetached())
            buffer_ = QImage(size(), QImage::Format_RGB32);
        target_->paintBuffer(&buffer_);
        bufferValid_ = true;
    }
    painter.drawImage(event->rect(), buffer_, event->rect());
}

void TargetWidget::forward(MouseAction action, QMouseEvent* event)
{
    if (!target_)
        return;
    // The button press's implicit grab keeps the moves and the release coming to this widget,
    // also from outside it, which is the capture a drag, band or pan needs.
    const QPoint at = event->position().toPoint();
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    QPointer<TargetWidget> alive(this); // a sink may close the window while it is told
    const std::optional<MouseCursor> cursor = target_->mouseInput(action, {at.x(), at.y()}, ctrl);
    if (!alive || !cursor)
        return;
    switch (*cursor) {
    case MouseCursor::Arrow: setCursor(Qt::ArrowCursor); break;
    case MouseCursor::OverBreach: setCursor(Qt::PointingHandCursor); break;
    case MouseCursor::Grabbing: setCursor(Qt::ClosedHandCursor); break;
    case MouseCursor::Cross: setCursor(Qt::CrossCursor); break;
    }
}

void TargetWidget::mousePressEvent(QMouseEvent* event)
{
    switch (event->button()) {
    case Qt::LeftButton: forward(MouseAction::LeftDown, event); break;
    case Qt::RightButton: forward(MouseAction::RightDown, event); break;
    case Qt::MiddleButton: forward(MouseAction::MiddleDown, event); break;
    default: break;
    }
}

void TargetWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        forward(MouseAction::LeftUp, event);
}

void TargetWidget::mouseMoveEvent(QMouseEvent* event)
{
    forward(MouseAction::Move, event);
}

void TargetWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click comes only as this, as on the platform the control
    // was made for; other buttons' second presses are plain presses.
    if (event->button() == Qt::LeftButton)
        forward(MouseAction::LeftDouble, event);
    else
        mousePressEvent(event);
}

} // namespace kavro::target
