#include "pulse_window.h"

#include "main_frame_base.h"

#include <QPainter>
#include <QPainterPath>

using namespace kavro::trace;

CPulseWindow::CPulseWindow(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPulseWindow::SetShowPulse(bool show)
{
    pulseShown_ = show;
    relayout();
}

void CPulseWindow::SetShowTrigger(bool show)
{
    triggerShown_ = show;
    relayout();
}

void CPulseWindow::SetPulse(int pulse)
{
    if (uint16_t(pulse) == pulse_)
        return;
    pulse_ = uint16_t(pulse);
    update(layout_.pulseRow2);
}

void CPulseWindow::SetTriggerValue(int value)
{
    if (value == triggerValue_)
        return;
    triggerValue_ = value;
    update(layout_.triggerBar);
}

void CPulseWindow::SetTriggerScale(int scale)
{
    scale = normalisedTriggerScale(scale);
    if (scale == triggerScale_)
        return;
    triggerScale_ = scale;
    update(layout_.triggerBar);
}

void CPulseWindow::SetHeartImage(int index)
{
    if (index == heartImage_)
        return;
    heartImage_ = index;
    update(layout_.pulseRow1);
}

void CPulseWindow::Reset()
{
    pulseShown_ = false;
    triggerShown_ = false;
    pulse_ = 0;
    triggerValue_ = 0;
    triggerScale_ = 1; // the setter's lower bound does not apply to the reset
    heartImage_ = 1;
    relayout();
}

void CPulseWindow::relayout()
{
    layout_ = pulsePanelLayout(rect(), pulseShown_, triggerShown_);
    update();
}

void CPulseWindow::resizeEvent(QResizeEvent*)
{
    relayout();
}

namespace {

QPainterPath heartPath(const QRectF& r)
{
    const double w = r.width(), h = r.height();
    QPainterPath p;
    p.moveTo(r.left() + w * 0.5, r.top() + h * 0.95);
    p.cubicTo(r.left() + w * 0.05, r.top() + h * 0.6, r.left() - w * 0.05, r.top() + h * 0.15, r.left() + w * 0.27,
              r.top() + h * 0.12);
    p.cubicTo(r.left() + w * 0.4, r.top() + h * 0.1, r.left() + w * 0.48, r.top() + h * 0.2, r.left() + w * 0.5,
              r.top() + h * 0.3);
    p.cubicTo(r.left() + w * 0.52, r.top() + h * 0.2, r.left() + w * 0.6, r.top() + h * 0.1, r.left() + w * 0.73,
              r.top() + h * 0.12);
    p.cubicTo(r.left() + w * 1.05, r.top() + h * 0.15, r.left() + w * 0.95, r.top() + h * 0.6, r.left() + w * 0.5,
              r.top() + h * 0.95);
    p.closeSubpath();
    return p;
}

void drawTrigger(QPainter& p, const QPoint& o)
{
    // Trigger guard and blade.
    p.setPen(QPen(QColor(64, 64, 64), 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRect(o.x() + 4, o.y() + 12, 24, 18), 180 * 16, 180 * 16);
    p.setPen(QPen(QColor(32, 32, 32), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(o + QPoint(16, 12), o + QPoint(14, 24));
    // The hand, with its index finger resting on the blade.
    p.setPen(QPen(QColor(150, 90, 50), 1));
    p.setBrush(QColor(238, 190, 150));
    p.drawRoundedRect(QRect(o.x() + 18, o.y() + 2, 12, 16), 4, 4);
    QPainterPath finger;
    finger.moveTo(o.x() + 20, o.y() + 14);
    finger.cubicTo(o.x() + 12, o.y() + 14, o.x() + 10, o.y() + 18, o.x() + 13, o.y() + 21);
    finger.lineTo(o.x() + 17, o.y() + 20);
    finger.cubicTo(o.x() + 16, o.y() + 18, o.x() + 18, o.y() + 18, o.x() + 22, o.y() + 18);
    finger.closeSubpath();
    p.drawPath(finger);
}

} // namespace

void CPulseWindow::drawPicture(QPainter& p, int index, const QPoint& topLeft)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (index == 2) {
        drawTrigger(p, topLeft);
    } else {
        const QRectF box(topLeft.x() + 2, topLeft.y() + 2, 28, 28);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 0, 0));
        p.drawPath(heartPath(box));
        if (index == 0) {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(QColor(255, 170, 170), 1.5));
            p.drawPath(heartPath(box.adjusted(4, 4, -4, -4)));
        }
    }
    p.restore();
}

void CPulseWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (triggerShown_)
        drawPicture(p, 2, layout_.triggerCaption.topLeft());
    if (pulseShown_ && triggerShown_)
        p.fillRect(layout_.gap, QColor(192, 192, 192));
    if (pulseShown_) {
        drawPicture(p, heartImage_, layout_.pulseRow1.topLeft());
        if (pulse_ > 0) {
            p.setPen(Qt::black);
            p.drawText(layout_.pulseRow2, Qt::AlignCenter | Qt::TextSingleLine, QString::number(pulse_));
        }
    }
    if (triggerShown_ && layout_.triggerBar.isValid()) {
        const QRect& bar = layout_.triggerBar;
        const int h = triggerBarHeight(bar.height(), triggerValue_, triggerScale_);
        if (h > 0)
            p.fillRect(QRect(bar.left(), bar.bottom() - h + 1, bar.width(), h), QColor(0, 0, 255));
    }
}

std::optional<SensorRows> connectedSensorRows(CMainFrameBase* frame)
{
    if (!frame || !frame->IsDeviceConnected())
        return std::nullopt;
    SensorRows rows;
    if (ComPtr<IKavroDevice> device = frame->GetDevice()) {
        VARIANT_BOOL pulse = VARIANT_FALSE, trigger = VARIANT_FALSE;
        device->get_PulseAvailable(&pulse);
        device->get_TriggerControlAvailable(&trigger);
        rows = {true, pulse == VARIANT_TRUE, trigger == VARIANT_TRUE};
    }
    return rows;
}
