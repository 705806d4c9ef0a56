#include "device_session.h"

#include "sequencer.h"

#include "com/classregistry.h"
#include "com/connection.h"
#include "thread/clock.h"

#include <QApplication>

namespace {
std::function<ComPtr<IKavroDevice>()>& deviceFactory()
{
    static std::function<ComPtr<IKavroDevice>()> f;
    return f;
}
} // namespace

void DeviceSession::setDeviceFactory(std::function<ComPtr<IKavroDevice>()> factory)
{
    deviceFactory() = std::move(factory);
}

ComPtr<IKavroDevice> DeviceSession::createDevice()
{
    ComPtr<IKavroDevice> device;
    if (deviceFactory())
        device = deviceFactory()();
    else
        createInstance(kavrodev::CLSID_KavroDevice, &device);
    return device;
}

void DeviceSession::begin(ComPtr<IKavroDevice> device, ComPtr<IUnknown> sink)
{
    device_ = std::move(device);
    sink_ = std::move(sink);
}

void DeviceSession::startEvents()
{
    AdviseDeviceSink();
    lastSignalTime_ = kavro::realClock().tickMs();
}

void DeviceSession::end()
{
    if (!device_)
        return;
    UnadviseDeviceSink();
    device_->put_Connected(VARIANT_FALSE);
    device_ = nullptr;
}

void DeviceSession::AdviseDeviceSink()
{
    if (device_ && !sinkAdvised_)
        sinkAdvised_ = SUCCEEDED(adviseSink(device_.get(), _IKavroDeviceEvents::iid, sink_.get(), &sinkCookie_));
}

void DeviceSession::UnadviseDeviceSink()
{
    if (device_ && sinkAdvised_)
        unadviseSink(device_.get(), _IKavroDeviceEvents::iid, sinkCookie_);
    sinkAdvised_ = false;
}

bool DeviceSession::IsDeviceConnected()
{
    VARIANT_BOOL c = VARIANT_FALSE;
    return device_ && SUCCEEDED(device_->get_Connected(&c)) && c == VARIANT_TRUE;
}

bool DeviceSession::timedPractice(TargetKind::Kind kind)
{
    if (!device_)
        return false;
    int32_t version = 0;
    device_->get_ModelVersion(&version);
    return kavro::trainer::wantsRangeProcedure(kind, version);
}

void DeviceSession::noteSignalLevel()
{
    int32_t level = 0;
    if (device_ && SUCCEEDED(device_->get_SignalLevel(1, &level)) && level > 100)
        lastSignalTime_ = kavro::realClock().tickMs();
}

bool DeviceSession::signalSeenLately() const
{
    return device_ && kavro::realClock().tickMs() - lastSignalTime_ < 1000;
}

void DeviceSession::OnResetHardware()
{
    if (!device_)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    device_->put_Connected(VARIANT_FALSE);
    device_->put_Connected(VARIANT_TRUE);
    QApplication::restoreOverrideCursor();
}

void DeviceSession::addShotByHand()
{
    if (device_)
        device_->AddShot(VARIANT_FALSE);
}

void DeviceSession::concludeCurrentAiming()
{
    if (device_)
        device_->ConcludeCurrentAiming(1);
}

std::optional<KavroHint::ShiftArgs> DeviceSession::correctShift(const KavroHint::ShiftArgs& shift)
{
    if (!device_)
        return std::nullopt;
    KavroHint::ShiftArgs totals;
    device_->get_CorrectionX(1, &totals.dx);
    device_->get_CorrectionY(1, &totals.dy);
    totals.dx += shift.dx;
    totals.dy += shift.dy;
    device_->put_CorrectionX(1, totals.dx);
    device_->put_CorrectionY(1, totals.dy);
    return totals;
}
