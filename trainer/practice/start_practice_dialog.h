#pragma once
// The dialog at the start of every practice: device, shooter, event and initial position. "Start"
// configures the device and connects it; only a connected device closes the dialog with Accepted.
#include "kavrodev.h"
#include "kavrodoc.h"
#include "practice_rules.h"

#include <QDialog>
#include <QMessageBox>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QTimer;

namespace kavro::shell {
class ShellChangeFollower;
}

namespace kavro::practice {

// Device numbers of the device list, each class counted from its first value.
enum DeviceNumber : int {
    kFirstComPort = 1,
    kLastComPort = 256,
    kFirstUsbSensor = 257,
    kFirstWireless = 1024,
    kFirstHomeWireless = 2048,
    kFirstImageSensor = 4096,
};

enum class UsbKind { Sensor, Wireless, HomeWireless, ImageSensor };

struct UsbFound {
    QString path;
    bool busy = false;
    // Image sensors: the working distance, or the text of a failed open (then not listed).
    int distance = 0;
    QString openError;
};

// What the dialog finds attached; tests put their own in place.
class DeviceEnumerator {
public:
    virtual ~DeviceEnumerator() = default;
    // Serial sensors: COM number and the model name the sensor reported.
    virtual std::vector<std::pair<int, QString>> serialDevices(IKavroDevice* device);
    virtual std::vector<UsbFound> usbDevices(UsbKind kind);
    virtual bool present(UsbKind kind, const QString& path);
};

class CStartPracticeDlg : public QDialog {
    Q_OBJECT
public:
    // Hints come from the command line; both given make "Start" press itself once the event matched.
    CStartPracticeDlg(IKavroDevice* device, const QString& eventName, const QString& shooterName,
                      QWidget* parent = nullptr, std::shared_ptr<DeviceEnumerator> enumerator = nullptr);
    ~CStartPracticeDlg() override;

    // Runs the dialog modally. A start with names whose event matched presses Start without
    // showing it; the dialog is seen only when that start fails.
    int run();

    // Results after Accepted.
    ComPtr<IEventParams> chosenEvent() const { return event_; }
    QString shooterName() const { return shooterName_; }
    int initialPosition() const { return initialPosition_; }

    // Message boxes go here instead when set (tests): text and icon.
    static void setMessageHook(std::function<void(const QString&, QMessageBox::Icon)> hook);

    // For tests.
    QComboBox* deviceCombo() const { return deviceCombo_; }
    QComboBox* sensorCombo() const { return sensorCombo_; }
    QComboBox* shooterCombo() const { return shooterCombo_; }
    QListWidget* eventList() const { return eventList_; }
    QComboBox* positionCombo() const { return positionCombo_; }
    QCheckBox* filterBox(int index) const { return filterBoxes_[index]; }
    // The first drop-down's fill; from then on the list follows the catalog's shooter folders.
    void fillShooterList();

public slots:
    void accept() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void initialize();
    void fillEventList();
    void rebuildPositions();
    void onDeviceChanged();
    void onFilterChanged(int index, bool on);
    bool selectedIsImageSensor(int* distance) const;
    // Configures and connects the device; false (the user told why) leaves the dialog open.
    bool start();
    bool connectDevice();
    void message(const QString& text, QMessageBox::Icon icon);
    void showShooters(const QStringList& names);

    ComPtr<IKavroDevice> device_;
    std::shared_ptr<DeviceEnumerator> enumerator_;
    ComPtr<IEventParams> event_;
    QString shooterName_;
    int initialPosition_ = -1;
    EventFilter filter_;
    bool startWithNames_ = false;
    bool startsByItself_ = false;
    bool seen_ = false;
    bool eventMatched_ = false;
    QString wantedEvent_;
    bool shooterListEmpty_ = true;
    bool initialized_ = false;
    std::map<int, QString> paths_;
    std::map<int, int> distances_;
    std::vector<ComPtr<IEventParams>> events_;

    QComboBox* deviceCombo_;
    QComboBox* sensorCombo_;
    QComboBox* shooterCombo_;
    kavro::shell::ShellChangeFollower* shooterNotices_ = nullptr;
    QTimer* shooterRefresh_ = nullptr;
    QCheckBox* filterBoxes_[4];
    QListWidget* eventList_;
    QLabel* positionLabel_;
    QComboBox* positionCombo_;
};

} // namespace kavro::practice
