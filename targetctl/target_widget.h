#pragma once
// The control's window: a widget that shows the control's back buffer. The whole picture is
// painted off screen when it is stale; live aimings draw into the buffer and repaint only what
// changed, because Qt paints only in paint events.
#include "gdi/gdi_types.h"

#include <QImage>
#include <QWidget>

namespace kavro::target {

class CTarget;
enum class MouseAction;

class TargetWidget final : public QWidget {
public:
    TargetWidget(CTarget* target, QWidget* parent);
    ~TargetWidget() override;

    // The control is going away: the widget shows nothing from now on.
    void detach()
    {
        target_ = nullptr;
        update();
    }

    // The whole picture must be painted again; `rect` limits what is repainted on screen.
    void invalidate();
    void invalidate(const GdiRect& rect);
    // The back buffer to draw into incrementally, null while a full repaint is due.
    QImage* currentBuffer();
    // Shows a whole picture painted elsewhere.
    void setBuffer(QImage image);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // Hands the message to the control and shows the cursor it asks for.
    void forward(MouseAction action, QMouseEvent* event);

    CTarget* target_;
    QImage buffer_;
    bool bufferValid_ = false;
};

} // namespace kavro::target
