#include "spin_buttons.h"

#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kavro::trainer {

SpinButtons::SpinButtons(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const auto& [button, arrow, stepValue] :
         {std::tuple{up_, Qt::UpArrow, 1}, std::tuple{down_, Qt::DownArrow, -1}}) {
        const int step = stepValue; // clang 14 cannot capture a structured binding
        button->setArrowType(arrow);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(16, 11);
        layout->addWidget(button);
        connect(button, &QToolButton::clicked, this, [this, step] { stepBy(step); });
    }
}

void SpinButtons::setRange(int min, int max)
{
    min_ = std::min(min, max);
    max_ = std::max(min, max);
    position_ = std::clamp(position_, min_, max_);
}

void SpinButtons::setPosition(int position)
{
    position_ = std::clamp(position, min_, max_);
}

void SpinButtons::stepBy(int steps)
{
    const int next = std::clamp(position_ + steps, min_, max_);
    if (next == position_)
        return;
    position_ = next;
    emit moved(position_);
}

} // namespace kavro::trainer
