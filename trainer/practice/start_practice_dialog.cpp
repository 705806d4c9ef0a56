#include "start_practice_dialog.h"

#include "app_options.h"
#include "app_registry.h"
#include "catalog_lookup.h"
#include "dialog_texts.h"
#include "doc_helpers.h"
#include "language_module.h"
#include "message_box.h"
#include "res_strings.h"
#include "window_rect.h"

#include "com/classregistry.h"
#include "shell/shell_notify.h"
#include "image_sensor_probe.h"
#include "usb/usbbackend.h"
#include "usb_devices.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace kavro::practice {

using trainer::dialogText;
using trainer::RestoreWindowRect;
using trainer::SaveWindowRect;

namespace {

constexpr uint16_t kDialogId = 220;
// The service reports a scan's folders one by one: the list is read again once they pause.
constexpr int kShooterRefreshDelayMs = 250;
const char* const kFilterValues[4] = {"EventFilterIssf", "EventFilterNra", "EventFilterMilitary", "EventFilterOther"};
const uint16_t kFilterIds[4] = {1091, 1097, 1092, 1093};

std::function<void(const QString&, QMessageBox::Icon)>& messageHook()
{
    static std::function<void(const QString&, QMessageBox::Icon)> h;
    return h;
}

const UsbDeviceTable& tableOf(UsbKind kind)
{
    switch (kind) {
    case UsbKind::Sensor: return usbids::opticalSensorDevices();
    case UsbKind::Wireless: return usbids::wirelessReceiverDevices();
    case UsbKind::HomeWireless: return usbids::homeTargetDevices();
    case UsbKind::ImageSensor: return usbids::imageSensorDevices();
    }
    return usbids::opticalSensorDevices();
}

QString readRootString(const QString& name)
{
    QString s;
    const SettingsKey root = OpenAppRegistryKey();
    if (root.isValid() && SUCCEEDED(root.readString(name, &s)))
        return s.left(520);
    return QString();
}

// The shooter combo fills its list on its first drop-down.
class DropDownCombo : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> beforePopup;
    void showPopup() override
    {
        if (beforePopup)
            beforePopup();
        QComboBox::showPopup();
    }
};

} // namespace

std::vector<std::pair<int, QString>> DeviceEnumerator::serialDevices(IKavroDevice* device)
{
    std::vector<std::pair<int, QString>> out;
    for (int n = kFirstComPort; n <= kLastComPort && device; ++n) {
        VARIANT_BOOL found = VARIANT_FALSE;
        if (FAILED(device->put_CommPort(n)) || FAILED(device->LookupDevice(&found)) || found != VARIANT_TRUE)
            continue;
        QString model;
        device->get_ModelName(&model);
        out.emplace_back(n, model);
    }
    return out;
}

std::vector<UsbFound> DeviceEnumerator::usbDevices(UsbKind kind)
{
    std::vector<UsbDeviceInfo> infos;
    std::vector<UsbFound> out;
    if (FAILED(usbBackend().enumerate(tableOf(kind), &infos)))
        return out;
    for (const UsbDeviceInfo& info : infos) {
        if (out.size() >= 256)
            break;
        UsbFound f;
        f.path = QString::fromStdString(info.path);
        if (kind == UsbKind::ImageSensor) {
            const ImageSensorProbe probe = ProbeImageSensor(info.path);
            f.openError = probe.opened ? QString() : QString::fromStdString(probe.errorText);
            f.distance = probe.workingDistance;
            out.push_back(f);
            continue;
        }
        std::unique_ptr<UsbConnection> c;
        f.busy = FAILED(usbBackend().open(info.path, &c));
        if (c)
            c->close();
        out.push_back(f);
    }
    return out;
}

bool DeviceEnumerator::present(UsbKind kind, const QString& path)
{
    std::vector<UsbDeviceInfo> infos;
    if (FAILED(usbBackend().enumerate(tableOf(kind), &infos)))
        return false;
    for (const UsbDeviceInfo& info : infos)
        if (QString::fromStdString(info.path) == path)
            return true;
    return false;
}

void CStartPracticeDlg::setMessageHook(std::function<void(const QString&, QMessageBox::Icon)> hook)
{
    messageHook() = std::move(hook);
}

CStartPracticeDlg::CStartPracticeDlg(IKavroDevice* device, const QString& eventName, const QString& shooterName,
                                     QWidget* parent, std::shared_ptr<DeviceEnumerator> enumerator)
    : QDialog(parent), device_(device), enumerator_(std::move(enumerator))
{
    if (!enumerator_)
        enumerator_ = std::make_shared<DeviceEnumerator>();
    setObjectName(QStringLiteral("StartPracticeDialog"));
    setWindowTitle(dialogText(kDialogId, 0));
    setSizeGripEnabled(true);

    const SettingsKey root = OpenAppRegistryKey();
    bool* flags[4] = {&filter_.issf, &filter_.nra, &filter_.military, &filter_.other};
    for (int i = 0; i < 4; ++i) {
        uint32_t v = 1;
        if (root.isValid() && SUCCEEDED(root.readDword(QString::fromLatin1(kFilterValues[i]), &v)))
            *flags[i] = v != 0;
    }
    keepOneFilterOn(&filter_);
    startWithNames_ = !eventName.isEmpty() && !shooterName.isEmpty();
    wantedEvent_ = eventName.isEmpty() ? readRootString(QStringLiteral("EventName")) : eventName;
    shooterName_ = shooterName.isEmpty() ? readRootString(QStringLiteral("ShooterName")) : shooterName;

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(dialogText(kDialogId, 1002), this), 0, 0);
    deviceCombo_ = new QComboBox(this);
    deviceCombo_->setObjectName(QStringLiteral("deviceCombo"));
    layout->addWidget(deviceCombo_, 0, 1);
    sensorCombo_ = new QComboBox(this);
    sensorCombo_->setObjectName(QStringLiteral("sensorCombo"));
    layout->addWidget(sensorCombo_, 1, 1);
    layout->addWidget(new QLabel(dialogText(kDialogId, 1006), this), 2, 0);
    auto* shooterCombo = new DropDownCombo(this);
    shooterCombo->beforePopup = [this] { fillShooterList(); };
    shooterCombo_ = shooterCombo;
    shooterCombo_->setObjectName(QStringLiteral("shooterCombo"));
    shooterCombo_->setEditable(true);
    shooterCombo_->setInsertPolicy(QComboBox::NoInsert);
    layout->addWidget(shooterCombo_, 2, 1);
    auto* filters = new QHBoxLayout;
    // NRA came to the row last and stands right of Other.
    const int order[4] = {0, 2, 3, 1};
    for (int i : order) {
        filterBoxes_[i] = new QCheckBox(dialogText(kDialogId, kFilterIds[i]), this);
        filterBoxes_[i]->setObjectName(QStringLiteral("filter%1").arg(kFilterIds[i]));
        filterBoxes_[i]->setChecked(*flags[i]);
        filters->addWidget(filterBoxes_[i]);
        connect(filterBoxes_[i], &QCheckBox::toggled, this, [this, i](bool on) { onFilterChanged(i, on); });
    }
    filters->addStretch();
    layout->addWidget(new QLabel(dialogText(kDialogId, 1004), this), 3, 0);
    layout->addLayout(filters, 3, 1);
    eventList_ = new QListWidget(this);
    eventList_->setObjectName(QStringLiteral("eventList"));
    layout->addWidget(eventList_, 4, 0, 1, 2);
    positionLabel_ = new QLabel(dialogText(kDialogId, 1007), this);
    positionCombo_ = new QComboBox(this);
    positionCombo_->setObjectName(QStringLiteral("positionCombo"));
    layout->addWidget(positionLabel_, 5, 0);
    layout->addWidget(positionCombo_, 5, 1);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* start = buttons->addButton(dialogText(kDialogId, 1), QDialogButtonBox::AcceptRole);
    start->setDefault(true);
    buttons->addButton(dialogText(kDialogId, 2), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons, 6, 0, 1, 2);
    layout->setRowStretch(4, 1);

    if (!shooterName_.isEmpty())
        shooterCombo_->setEditText(shooterName_);
    connect(eventList_, &QListWidget::currentItemChanged, this, [this] { rebuildPositions(); });
    connect(eventList_, &QListWidget::itemDoubleClicked, this,
            [this] { QMetaObject::invokeMethod(this, "accept", Qt::QueuedConnection); });
    connect(deviceCombo_, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { onDeviceChanged(); });
    initialize();
}

CStartPracticeDlg::~CStartPracticeDlg() = default;

void CStartPracticeDlg::fillShooterList()
{
    if (!shooterListEmpty_)
        return;
    bool found = false;
    const QStringList names = kavro::trainer::CatalogShooterNames(&found);
    if (!found) {
        message(LoadResString(61493), QMessageBox::NoIcon);
        return;
    }
    showShooters(names);
    shooterListEmpty_ = false;
    // While the catalog service is still starting the catalog lists nothing yet; and shooters it
    // indexes while the dialog is open belong in the list too.
    ComPtr<kavro::shell::IShellFolder> catalog;
    kavro::shell::IdList catalogId;
    if (!kavro::trainer::FindCatalogFolder(&catalog, &catalogId))
        return;
    shooterRefresh_ = new QTimer(this);
    shooterRefresh_->setSingleShot(true);
    shooterRefresh_->setInterval(kShooterRefreshDelayMs);
    connect(shooterRefresh_, &QTimer::timeout, this, [this] {
        bool stillFound = false;
        const QStringList current = kavro::trainer::CatalogShooterNames(&stillFound);
        if (stillFound)
            showShooters(current);
    });
    shooterNotices_ = new kavro::shell::ShellChangeFollower(this);
    shooterNotices_->Follow(catalogId.get(), true,
                            kavro::shell::SHCNE_MKDIR | kavro::shell::SHCNE_RMDIR | kavro::shell::SHCNE_UPDATEDIR,
                            [this] { shooterRefresh_->start(); });
}

void CStartPracticeDlg::showShooters(const QStringList& names)
{
    const QString text = shooterCombo_->currentText();
    shooterCombo_->clear();
    for (const QString& name : names)
        if (shooterCombo_->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
            shooterCombo_->addItem(name);
    shooterCombo_->setEditText(text);
}

void CStartPracticeDlg::initialize()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    fillEventList();
    if (events_.empty() && !eventMatched_) {
        ComPtr<IEventManager> manager;
        if (FAILED(createInstance(kavrodoc::CLSID_EventManager, &manager)) || !manager) {
            QApplication::restoreOverrideCursor();
            QMetaObject::invokeMethod(this, "reject", Qt::QueuedConnection);
            return;
        }
    }
    for (int id : {61225, 61226, 61227, 61228})
        sensorCombo_->addItem(LoadResString(id));
    sensorCombo_->setCurrentIndex(0);
    rebuildPositions();
    if (device_)
        device_->put_EventShortName(1, QStringLiteral("AP10"));
    RestoreWindowRect(this, QStringLiteral("WindowRectStartPractice"));

    const QSignalBlocker block(deviceCombo_);
    if (serialSensorsEnabled(theAppOptions().EnableRS232))
        for (const auto& [port, model] : enumerator_->serialDevices(device_.get()))
            deviceCombo_->addItem(QStringLiteral("COM%1: %2").arg(port).arg(model), port);
    struct Class {
        UsbKind kind;
        int first;
        const char* format;
    };
    const Class classes[] = {{UsbKind::Sensor, kFirstUsbSensor, "Kavro USB #%1%2"},
                             {UsbKind::Wireless, kFirstWireless, "Kavro Wireless #%1%2"},
                             {UsbKind::ImageSensor, kFirstImageSensor, "Kavro QV #%1%2"},
                             {UsbKind::HomeWireless, kFirstHomeWireless, "Kavro Wireless (Home trainer) #%1%2"}};
    for (const Class& c : classes) {
        const std::vector<UsbFound> found = enumerator_->usbDevices(c.kind);
        for (size_t i = 0; i < found.size(); ++i) {
            const UsbFound& f = found[i];
            if (c.kind == UsbKind::ImageSensor && !f.openError.isEmpty()) {
                message(f.openError, QMessageBox::NoIcon);
                continue;
            }
            const int number = c.first + static_cast<int>(i);
            const QString busy = f.busy && c.kind != UsbKind::ImageSensor ? QStringLiteral(" - busy") : QString();
            deviceCombo_->addItem(QString::fromLatin1(c.format).arg(i + 1).arg(busy), number);
            paths_[number] = f.path;
            if (c.kind == UsbKind::ImageSensor)
                distances_[number] = f.distance;
        }
    }
    if (deviceCombo_->count() == 0) {
        QApplication::restoreOverrideCursor();
        message(LoadResString(32821), QMessageBox::Critical);
        QMetaObject::invokeMethod(this, "reject", Qt::QueuedConnection);
        return;
    }
    deviceCombo_->setCurrentIndex(0);
    onDeviceChanged();
    int distance = 0;
    if (selectedIsImageSensor(&distance)) {
        eventMatched_ = false;
        fillEventList();
    }
    wantedEvent_.clear();
    initialized_ = true;
    startsByItself_ = startWithNames_ && eventMatched_ && !shooterName_.isEmpty() && eventList_->currentItem();
    QApplication::restoreOverrideCursor();
}

void CStartPracticeDlg::fillEventList()
{
    eventList_->clear();
    events_.clear();
    ComPtr<IEventManager> manager;
    if (FAILED(createInstance(kavrodoc::CLSID_EventManager, &manager)) || !manager)
        return;
    int distance = 0;
    const bool restricted = selectedIsImageSensor(&distance);
    int32_t count = 0;
    manager->get_Count(&count);
    const uint16_t lang = static_cast<uint16_t>(LanguageModule::instance().langId());
    QListWidgetItem* matched = nullptr;
    for (int32_t i = 1; i <= count; ++i) {
        ComPtr<IEventParams> event;
        if (FAILED(manager->get_Item(i, event.put())) || !event)
            continue;
        if (!eventPasses(event.get(), filter_, restricted, distance))
            continue;
        const QString display = FormatEventName(event.get(), lang);
        auto* item = new QListWidgetItem(display, eventList_);
        item->setData(Qt::UserRole, static_cast<int>(events_.size()));
        events_.push_back(event);
        if (!wantedEvent_.isEmpty() && !matched) {
            QString shortName, name;
            event->get_ShortName(&shortName);
            event->get_Name(&name);
            if (wantedEvent_ == shortName || wantedEvent_ == name || wantedEvent_ == display) {
                matched = item;
                eventMatched_ = true;
            }
        }
    }
    eventList_->sortItems(Qt::AscendingOrder);
    if (matched) {
        eventList_->setCurrentItem(matched);
        eventList_->scrollToItem(matched);
    }
}

void CStartPracticeDlg::rebuildPositions()
{
    positionCombo_->clear();
    QListWidgetItem* item = eventList_->currentItem();
    int selected = -1;
    const QStringList positions
        = item ? initialPositions(events_[item->data(Qt::UserRole).toInt()].get(), &selected) : QStringList();
    positionCombo_->addItems(positions);
    positionCombo_->setCurrentIndex(selected);
    positionLabel_->setVisible(!positions.isEmpty());
    positionCombo_->setVisible(!positions.isEmpty());
}

bool CStartPracticeDlg::selectedIsImageSensor(int* distance) const
{
    const int number = deviceCombo_->currentData().toInt();
    if (number < kFirstImageSensor)
        return false;
    const auto path = paths_.find(number);
    if (path == paths_.end() || !enumerator_->present(UsbKind::ImageSensor, path->second))
        return false;
    const auto d = distances_.find(number);
    *distance = d == distances_.end() ? 0 : d->second;
    return true;
}

void CStartPracticeDlg::onDeviceChanged()
{
    const int number = deviceCombo_->currentData().toInt();
    const auto path = paths_.find(number);
    const QString p = path == paths_.end() ? QString() : path->second;
    const bool wireless = number > 1023
        && (enumerator_->present(UsbKind::Wireless, p) || enumerator_->present(UsbKind::HomeWireless, p));
    int distance = 0;
    const bool image = selectedIsImageSensor(&distance);
    sensorCombo_->setVisible(!wireless && !image);
    if (number > kLastComPort && !wireless && !image) {
        const int firingPoint = theAppOptions().FiringPoint;
        sensorCombo_->clear();
        sensorCombo_->addItem(LoadResString(61490));
        sensorCombo_->addItem(QString::asprintf(LoadResString(61491).toUtf8().constData(), firingPoint % 2 + 6));
        sensorCombo_->addItem(QString::asprintf(LoadResString(61492).toUtf8().constData(), firingPoint % 2));
        sensorCombo_->setCurrentIndex(0);
    } else if (number >= kFirstComPort && number <= kLastComPort && sensorCombo_->count() != 4) {
        sensorCombo_->clear();
        for (int id : {61225, 61226, 61227, 61228})
            sensorCombo_->addItem(LoadResString(id));
        sensorCombo_->setCurrentIndex(0);
    }
}

void CStartPracticeDlg::onFilterChanged(int index, bool on)
{
    bool* flags[4] = {&filter_.issf, &filter_.nra, &filter_.military, &filter_.other};
    *flags[index] = on;
    const bool issfWasOn = filter_.issf;
    keepOneFilterOn(&filter_);
    if (filter_.issf != issfWasOn) {
        const QSignalBlocker block(filterBoxes_[0]);
        filterBoxes_[0]->setChecked(true);
    }
    const SettingsKey root = OpenAppRegistryKey();
    for (int i = 0; i < 4; ++i)
        if (root.isValid())
            root.writeDword(QString::fromLatin1(kFilterValues[i]), *flags[i] ? 1 : 0);
    eventMatched_ = false;
    fillEventList();
    rebuildPositions();
}

void CStartPracticeDlg::message(const QString& text, QMessageBox::Icon icon)
{
    if (messageHook())
        messageHook()(text, icon);
    else
        // Before the dialog shows (the device list is built first) it has no place of its own:
        // the box then stands over the window that opened the dialog, or the screen.
        KavroMessageBox(isVisible() ? this : parentWidget(), text, icon);
}

int CStartPracticeDlg::run()
{
    if (startsByItself_) {
        startsByItself_ = false;
        if (start()) {
            QDialog::accept();
            return Accepted;
        }
    }
    // Shown only here, so that it is modal when a start by itself failed.
    return exec();
}

void CStartPracticeDlg::accept()
{
    if (initialized_ && start())
        QDialog::accept();
}

bool CStartPracticeDlg::start()
{
    event_ = nullptr;
    const int number = deviceCombo_->currentData().toInt();
    const bool serial = number >= kFirstComPort && number <= kLastComPort;
    const auto pathIt = paths_.find(number);
    const QString path = pathIt == paths_.end() ? QString() : pathIt->second;

    shooterName_ = shooterCombo_->currentText();
    if (shooterName_.isEmpty()) {
        message(LoadResString(32822), QMessageBox::NoIcon);
        return false;
    }
    const SettingsKey root = OpenAppRegistryKey();
    if (root.isValid())
        root.writeString(QStringLiteral("ShooterName"), shooterName_);
    QListWidgetItem* item = eventList_->currentItem();
    if (!item) {
        message(LoadResString(32823), QMessageBox::NoIcon);
        return false;
    }
    ComPtr<IEventParams> event = events_[item->data(Qt::UserRole).toInt()];
    QString shortName;
    event->get_ShortName(&shortName);
    if (root.isValid())
        root.writeString(QStringLiteral("EventName"), shortName);
    int selected = -1;
    initialPosition_ = initialPositions(event.get(), &selected).isEmpty() ? -1 : positionCombo_->currentIndex();

    enumTargetType type = Target10m;
    int sensorPosition = 1;
    int distance = 0;
    const bool wireless = number > 1023
        && (enumerator_->present(UsbKind::Wireless, path) || enumerator_->present(UsbKind::HomeWireless, path));
    if (serial) {
        sensorPosition = sensorCombo_->currentIndex() + 1;
    } else if (!wireless && !selectedIsImageSensor(&distance)) {
        static const enumTargetType types[] = {Target10m, Target25m, Target50m};
        const int i = sensorCombo_->currentIndex();
        type = i >= 0 && i < 3 ? types[i] : Target10m;
    }
    const int sensitivity = LoadPiezoSensitivity(root);
    const AppOptions& options = theAppOptions();
    const ShotSeconds seconds = shotSecondsFor(shortName, options.SaveSecBeforeShot, options.SaveSecAfterShot);

    event_ = event;
    if (device_) {
        if (serial)
            device_->put_CommPort(number);
        else
            device_->put_DevicePath(path);
        device_->put_Event(1, event.get());
        device_->put_TargetType(1, type);
        device_->put_SampleRate(200);
        device_->put_MaxTimeBeforeShot(1, static_cast<float>(seconds.before));
        device_->put_MaxTimeAfterShot(1, static_cast<float>(seconds.after));
        device_->put_PiezoSensitivity(1, sensitivity);
        if (serial)
            device_->put_SensorPosition(1, static_cast<enumSensorPosition>(sensorPosition));
        device_->put_FiringPoint(options.FiringPoint);
    }
    return connectDevice();
}

bool CStartPracticeDlg::connectDevice()
{
    if (!device_)
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const HRESULT hr = device_->put_Connected(VARIANT_TRUE);
    VARIANT_BOOL connected = VARIANT_FALSE;
    const bool ok = SUCCEEDED(hr) && SUCCEEDED(device_->get_Connected(&connected)) && connected == VARIANT_TRUE;
    QApplication::restoreOverrideCursor();
    if (ok)
        return true;
    Variant status;
    if (FAILED(device_->get_Value(5, &status))) {
        message(LoadResString(32828), QMessageBox::Critical);
        return false;
    }
    QString text;
    status.toString(&text);
    message(text.isEmpty() ? LoadResString(32828) : text, QMessageBox::NoIcon);
    return false;
}

void CStartPracticeDlg::showEvent(QShowEvent* event)
{
    seen_ = true;
    QDialog::showEvent(event);
}

void CStartPracticeDlg::done(int result)
{
    // A dialog that started by itself unseen has no place of its own to keep.
    if (seen_)
        SaveWindowRect(this, QStringLiteral("WindowRectStartPractice"));
    QDialog::done(result);
}

} // namespace kavro::practice
