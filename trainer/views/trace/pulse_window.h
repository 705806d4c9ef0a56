#pragma once
// The pulse panel beside the trace: a heart that beats with the shooter's pulse, the pulse as a
// number, and the trigger pressure as a bar under a trigger picture.
#include "trace_model.h"

#include <QWidget>

#include <optional>

class CMainFrameBase;

class CPulseWindow : public QWidget {
public:
    explicit CPulseWindow(QWidget* parent = nullptr);

    bool pulseShown() const { return pulseShown_; }
    bool triggerShown() const { return triggerShown_; }
    void SetShowPulse(bool show);
    void SetShowTrigger(bool show);
    int pulse() const { return pulse_; }
    void SetPulse(int pulse);
    int triggerValue() const { return triggerValue_; }
    void SetTriggerValue(int value);
    int triggerScale() const { return triggerScale_; }
    void SetTriggerScale(int scale);
    int heartImage() const { return heartImage_; }
    void SetHeartImage(int index);
    // A new practice: nothing shown, pulse 0, trigger 0 of scale 1, the resting heart.
    void Reset();

    const kavro::trace::PulsePanelLayout& rows() const { return layout_; }

    // The panel's pictures, 32 × 32 on white: 0 the beating heart, 1 the resting heart, 2 a
    // finger on a trigger.
    static void drawPicture(QPainter& p, int index, const QPoint& topLeft);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void relayout();
    bool pulseShown_ = false;
    bool triggerShown_ = false;
    uint16_t pulse_ = 0;
    int triggerValue_ = 0;
    int triggerScale_ = 1;
    int heartImage_ = 1;
    kavro::trace::PulsePanelLayout layout_;
};

// The rows a connected sensor fills: its pulse and its trigger pressure.
struct SensorRows {
    bool device = false; // the frame gave the sensor; without it neither row shows
    bool pulse = false;
    bool trigger = false;
};
// None while the frame has no sensor connected.
std::optional<SensorRows> connectedSensorRows(CMainFrameBase* frame);
