#pragma once
// The replay panel over the trace: start, current and end time of the replayed trace and a scroll
// bar through its samples. Shown only while a replay shot is set; scrolling is the view's matter.
#include "trace_model.h"

#include <QFrame>

#include <functional>

class QLabel;
class QScrollBar;

class CReplayControlWindow : public QFrame {
public:
    explicit CReplayControlWindow(QWidget* parent);

    // The samples first..last, seconds at both ends; shows the panel.
    void SetShot(int first, int last, float startSeconds, float endSeconds);
    // No shot: hides the panel.
    void ClearShot();
    void SetPosition(int index, float seconds);

    int position() const;
    int first() const;
    int last() const;
    QString startText() const;
    QString currentText() const;
    QString endText() const;

    // A scroll request from the bar: the code and the thumb position.
    std::function<void(kavro::trace::ScrollCode, int)> onScroll;

private:
    void scrollAction(int action);
    QLabel* left_;
    QLabel* centre_;
    QLabel* right_;
    QScrollBar* bar_;
};
