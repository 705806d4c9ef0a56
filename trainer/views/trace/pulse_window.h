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

    bool pulseShown() const { return m_pulseShown; }
    bool triggerShown() const { return m_triggerShown; }
    void SetShowPulse(bool show);
    void SetShowTrigger(bool show);
    int pulse() const { return m_pulse; }
    void SetPulse(int pulse);
    int triggerValue() const { return m_triggerValue; }
    void SetTriggerValue(int value);
    int triggerScale() const { return m_triggerScale; }
    void SetTriggerScale(int scale);
    int heartImage() const { return m_heartImage; }
    void SetHeartImage(int index);
    // A new practice: nothing shown, pulse 0, trigger 0 of scale 1, the resting heart.
    void Reset();

    const kavro::trace::PulsePanelLayout& rows() const { return m_layout; }

    // The panel's pictures, 32 × 32 on white: 0 the beating heart, 1 the resting heart, 2 a
    // finger on a trigger.
    static void drawPicture(QPainter& p, int index, const QPoint& topLeft);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void relayout();
    bool m_pulseShown = false;
    bool m_triggerShown = false;
    uint16_t m_pulse = 0;
    int m_triggerValue = 0;
    int m_triggerScale = 1;
    int m_heartImage = 1;
    kavro::trace::PulsePanelLayout m_layout;
};

// The rows a connected sensor fills: its pulse and its trigger pressure.
struct SensorRows {
    bool device = false; // the frame gave the sensor; without it neither row shows
    bool pulse = false;
    bool trigger = false;
};
// None while the frame has no sensor connected.
std::optional<SensorRows> connectedSensorRows(CMainFrameBase* frame);
