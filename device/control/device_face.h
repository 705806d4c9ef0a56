#pragma once
// The device control's face: a button-face rectangle with a sunken edge and the control's
// bitmap (a sensor aimed at a target, drawn here as vector art) centred in it.
#include <QWidget>

class QPainter;

namespace kavro {

// The bitmap's size in pixels.
constexpr int kDeviceBitmapWidth = 16;
constexpr int kDeviceBitmapHeight = 15;

// Paints the whole face into `bounds`.
void paintDeviceFace(QPainter& painter, const QRect& bounds);

class DeviceFaceWidget final : public QWidget {
public:
    explicit DeviceFaceWidget(QWidget* parent) : QWidget(parent) { }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kavro
