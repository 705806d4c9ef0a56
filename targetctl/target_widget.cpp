#include "target_widget.h"

#include "target.h"

#include "com/olecolor.h"
#include "gdi/painter_canvas.h"

#include <QPainter>
#include <QPaintEvent>

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
        buffer_ = QImage(size(), QImage::Format_RGB32);
        target_->paintBuffer(&buffer_);
        bufferValid_ = true;
    }
    painter.drawImage(event->rect(), buffer_, event->rect());
}

} // namespace kavro::target
