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
    m_left = makeLabel(Qt::AlignLeft, 0);
    m_centre = makeLabel(Qt::AlignHCenter, 1);
    m_right = makeLabel(Qt::AlignRight, 2);
    m_bar = new QScrollBar(Qt::Horizontal, this);
    m_bar->setGeometry(frame, frame + labelHeight, width, barHeight);
    m_bar->setRange(0, 0);
    connect(m_bar, &QScrollBar::actionTriggered, this, [this](int action) { scrollAction(action); });
    move(0, 0);
    hide();
}

void CReplayControlWindow::SetShot(int first, int last, float startSeconds, float endSeconds)
{
    m_bar->setRange(first, last);
    m_left->setText(secondsText(startSeconds));
    m_centre->setText(secondsText(startSeconds));
    m_right->setText(secondsText(endSeconds));
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
    const QSignalBlocker block(m_bar);
    m_bar->setValue(index);
    m_centre->setText(secondsText(seconds));
}

int CReplayControlWindow::position() const
{
    return m_bar->value();
}
int CReplayControlWindow::first() const
{
    return m_bar->minimum();
}
int CReplayControlWindow::last() const
{
    return m_bar->maximum();
}
QString CReplayControlWindow::startText() const
{
    return m_left->text();
}
QString CReplayControlWindow::currentText() const
{
    return m_centre->text();
}
QString CReplayControlWindow::endText() const
{
    return m_right->text();
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
    const int thumb = m_bar->sliderPosition();
    // The view decides where the bar goes; the bar's own step is undone.
    m_bar->setSliderPosition(m_bar->value());
    if (onScroll)
        onScroll(code, thumb);
}
