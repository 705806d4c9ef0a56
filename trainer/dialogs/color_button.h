#pragma once
// A button that shows a colour and opens the colour dialog on it.
#include "com/hresult.h"

#include <QPushButton>

namespace kavro::trainer {

class ColorButton final : public QPushButton {
    Q_OBJECT
public:
    explicit ColorButton(COLORREF color, QWidget* parent = nullptr);

    COLORREF color() const { return color_; }
    void setColor(COLORREF color);
    // The colour dialog, its top-left corner at the button's lower-left corner and kept inside
    // the screen; a cancel keeps the colour.
    void chooseColor();

signals:
    void colorChosen(COLORREF color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    COLORREF color_;
};

QColor toQColor(COLORREF c);
COLORREF fromQColor(const QColor& c);

} // namespace kavro::trainer
