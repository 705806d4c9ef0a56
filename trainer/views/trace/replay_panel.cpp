#include "replay_panel.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QScrollBar>
#include <QStyle>

using namespace kavro::trace;

CReplayControlWindow::CReplayControlWindow(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAutoFillBackground(true);
    const QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    const int labelHeight = QFontMetrics(font).height();
    const int barHeight = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int frame = frameWidth();
    const int width = 12 * barHeight;
    setFixedSize(width + 2 * frame, barHeight + labelHeight + 2 * frame);

    auto makeLabel = [&](Qt::Alignment align, int third) {
        auto* l = new QLabel(this);
        l->setFont(font);
        l->setAlignment(align | Qt::AlignVCenter);
        l->setGeometry(frame + third * width / 3, frame, width / 3, labelHeight);
        return l;
    };
    left_ = makeLabel(Qt::AlignLeft, 0);
    centre_ = makeLabel(Qt::AlignHCenter, 1);
    right_ = makeLabel(Qt::AlignRight, 2);
    bar_ = new QScrollBar(Qt::Horizontal, this);
    bar_->setGeometry(frame, frame + labelHeight, width, barHeight);
    bar_->setRange(0, 0);
    connect(bar_, &QScrollBar::actionTriggered, this, [this](int action) { scrollAction(action); });
    move(0, 0);
    hide();
}

void CReplayControlWindow::SetShot(int first, int last, float startSeconds, float endSeconds)
{
    bar_->setRange(first, last);
    left_->setText(secondsText(startSeconds));
    centre_->setText(secondsText(startSeconds));
    right_->setText(secondsText(endSeconds));
    show();
    raise();
}

void CReplayControlWindow::ClearShot()
{
    hide();
    lower();
}

void CReplayControlWindow::SetPosition(int index, float seconds)
{
    const QSignalBlocker block(bar_);
    bar_->setValue(index);
    centre_->setText(secondsText(seconds));
}

int CReplayControlWindow::position() const
{
    return bar_->value();
}
int CReplayControlWindow::first() const
{
    return bar_->minimum();
}
int CReplayControlWindow::last() const
{
    return bar_->maximum();
}
QString CReplayControlWindow::startText() const
{
    return left_->text();
}
QString CReplayControlWindow::currentText() const
{
    return centre_->text();
}
QString CReplayControlWindow::endText() const
{
    return right_->text();
}

void CReplayControlWindow::scrollAction(int action)
{
    ScrollCode code = ScrollCode::Other;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: code = ScrollCode::LineLeft; break;
    case QAbstractSlider::SliderSingleStepAdd: code = ScrollCode::LineRight; break;
    case QAbstractSlider::SliderPageStepSub: code = ScrollCode::PageLeft; break;
    case QAbstractSlider::SliderPageStepAdd: code = ScrollCode::PageRight; break;
    case QAbstractSlider::SliderMove: code = ScrollCode::ThumbTrack; break;
    case QAbstractSlider::SliderToMinimum: code = ScrollCode::Top; break;
    case QAbstractSlider::SliderToMaximum: code = ScrollCode::Bottom; break;
    default: break;
    }
    const int thumb = bar_->sliderPosition();
    // The view decides where the bar goes; the bar's own step is undone.
    bar_->setSliderPosition(bar_->value());
    if (onScroll)
        onScroll(code, thumb);
}
