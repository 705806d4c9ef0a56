#pragma once
// The "Kavro calibration" dialog: the signal bar, the calibration picture and the sensor's own
// settings over a calibration session.
#include "calibration_session.h"

#include <QDialog>
#include <QWidget>

class QCheckBox;
class QLabel;
class QSlider;

namespace kavro::trainer {

constexpr uint16_t IDD_CALIBRATION = 226;

// The signal level as a vertical bar, 0..511.
class CSensingProgressBarCtrl final : public QWidget {
    Q_OBJECT
public:
    explicit CSensingProgressBarCtrl(QWidget* parent = nullptr);
    int value() const { return value_; }
    void setValue(int value);
    QSize sizeHint() const override { return {18, 120}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int value_ = 0;
};

// Draws the calibration picture of `session` into `area`.
void paintCalibrationPicture(QPainter& painter, const QRect& area, const CalibrationSession& session);

class CCalibrationDlg final : public QDialog {
    Q_OBJECT
public:
    CCalibrationDlg(IKavroDevice* device, CalibrationHost host, QWidget* parent = nullptr);
    ~CCalibrationDlg() override;

    CalibrationSession& session() { return *session_; }
    CSensingProgressBarCtrl* signalBar() const { return bar_; }
    QWidget* picture() const { return picture_; }
    QLabel* instruction() const { return instruction_; }
    QSlider* piezoSlider() const { return piezo_; }
    QLabel* piezoLabel() const { return piezoLabel_; }
    QSlider* ledsSlider() const { return leds_; }
    QSlider* lampsSlider() const { return lamps_; }
    QSlider* gainSlider() const { return gain_; }
    QCheckBox* imageOptionBox(int valueIndex) const;

    void done(int result) override;

private:
    void updatePiezoLabel();

    CalibrationSession* session_;
    QLabel* instruction_;
    CSensingProgressBarCtrl* bar_;
    QWidget* picture_;
    QSlider* piezo_;
    QLabel* piezoLabel_;
    QLabel* ledsLabel_;
    QSlider* leds_;
    QLabel* lampsLabel_;
    QSlider* lamps_;
    QSlider* gain_;
    std::vector<std::pair<int, QCheckBox*>> optionBoxes_;
};

// The calibration command's dialog, modal on `parent`; calibration mode lasts as long as it runs.
int runCalibrationDialog(QWidget* parent, IKavroDevice* device, CalibrationHost host);

} // namespace kavro::trainer
