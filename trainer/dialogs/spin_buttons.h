#pragma once
// An up-down pair beside an edit: it keeps a position in a range and reports each step, leaving
// the edit's text to its owner (the edit may hold a scaled value or text being typed).
#include <QWidget>

class QToolButton;

namespace kavro::trainer {

class SpinButtons final : public QWidget {
    Q_OBJECT
public:
    explicit SpinButtons(QWidget* parent = nullptr);

    void setRange(int min, int max);
    int position() const { return position_; }
    void setPosition(int position); // clamped; emits nothing
    // One step up (+1) or down (-1), as the buttons and the arrow keys do.
    void stepBy(int steps);

signals:
    void moved(int position);

private:
    QToolButton* up_;
    QToolButton* down_;
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};

} // namespace kavro::trainer
