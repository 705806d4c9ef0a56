#include "device/model/generic_kavro.h"

#include "com/classregistry.h"
#include "device/model/sample_counters.h"
#include "serial/serial_port.h"

#include <algorithm>

namespace kavro {

namespace {
// Five seconds of samples.
constexpr size_t kRingSeconds = 5;
} // namespace

CGenericKavro::CGenericKavro(DeviceHost& host, std::unique_ptr<SerialPort> port)
    : host_(host), port_(std::move(port)), pipeline_(host.clock())
{
    // Kept for the model's life so that every aiming is made without another module look-up;
    // when it cannot be had, NewAiming fails and the model simply reports no aimings.
    CoGetClassObject(kavrodoc::CLSID_Aiming, IClassFactory::iid, aimingClass_.putVoid());
}

CGenericKavro::~CGenericKavro()
{
    // Derived models have closed themselves by now; this only lets go of what is left.
    stop_.set();
    pipeline_.Close();
    if (queue_)
        queue_->destroy();
}

void CGenericKavro::Close()
{
    stop_.set();
    if (started_) {
        started_ = false;
        Stop();
    }
    open_ = false;
    pipeline_.Close();
    // The queue object lives on with the model: Close may run inside one of its handlers.
    if (queue_)
        queue_->destroy();
    if (port_)
        port_->close();
}

bool CGenericKavro::GetValue(int32_t, Variant*)
{
    return false;
}

bool CGenericKavro::SetValue(int32_t, const Variant&)
{
    return false;
}

bool CGenericKavro::Open()
{
    if (open_)
        return true;
    stop_.reset();
    if (!queue_ || queue_->isDestroyed())
        queue_ = host_.MakeQueue([this](const QueueMessage& msg) { pipeline_.HandleMessage(msg, *this); });
    if (!queue_)
        return false;
    const size_t rate = static_cast<size_t>(std::max(host_.SampleRate(), 1));
    if (FAILED(pipeline_.Open(rate * kRingSeconds, queue_->poster())))
        return false;
    lastCounter_ = -1;
    Configure();
    if (!Start())
        return false;
    started_ = true;
    open_ = true;
    return true;
}

void CGenericKavro::Configure()
{
    SetRate();
    SetScale();
}

bool CGenericKavro::LineIsUp()
{
    if (!port_)
        return false;
    uint32_t lines = 0;
    port_->modemStatus(&lines);
    return (lines & ModemCtsOn) && (lines & ModemDsrOn);
}

bool CGenericKavro::PostEvent(const SampleRecord& record)
{
    return pipeline_.PostEvent(record, &stop_);
}

void CGenericKavro::ProcessSamples(const SampleRecord* records, size_t count)
{
    BeginBatch(count);
    received_.fetch_add(static_cast<uint32_t>(count));
    const int32_t modulus = CounterModulus();
    for (size_t i = 0; i < count; ++i) {
        // A sink may have disconnected the device from inside an event of this batch.
        if (!open_)
            return;
        const int32_t counter = records[i].counter();
        skipped_.fetch_add(skippedBetween(lastCounter_, counter, modulus));
        OnSample(records[i]);
        lastCounter_ = counter;
    }
    if (open_)
        FlushCoordinates();
}

void CGenericKavro::OnDisconnected()
{
    FireDisconnected();
}

void CGenericKavro::OnReconnected()
{
    if (!open_ || !RestoreLine())
        return;
    pipeline_.Empty();
    lastCounter_ = -1;
    Configure();
    if (!Start())
        return;
    LineRestarted();
    FireReconnected();
}

void CGenericKavro::OnTimeout(intptr_t seconds)
{
    FireTimeout(static_cast<int32_t>(std::clamp<intptr_t>(seconds, 0, INT32_MAX)));
}

HRESULT CGenericKavro::NewAiming(ComPtr<IAiming>* out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!aimingClass_)
        return REGDB_E_CLASSNOTREG;
    return aimingClass_->CreateInstance(nullptr, IAiming::iid, out->putVoid());
}

DATE CGenericKavro::Now() const
{
    return host_.clock().localNow();
}

void CGenericKavro::StampShot(IShot* shot)
{
    const DATE now = Now();
    shot->put_ShotTime(now);
    ComPtr<IAimingAttr> attr;
    DATE enter = 0;
    if (SUCCEEDED(shot->get_Attr(attr.put())) && attr && SUCCEEDED(attr->get_EnterTime(&enter)) && enter == 0)
        attr->put_EnterTime(now);
}

HRESULT CGenericKavro::FireStartAiming(int32_t n, IAiming* aiming)
{
    return host_.FireEvent([&](_IKavroDeviceEvents* s) { return s->StartAiming(n, aiming); });
}

HRESULT CGenericKavro::FireNewCoordinates(int32_t n, IAiming* aiming, int32_t count)
{
    return host_.FireEvent([&](_IKavroDeviceEvents* s) { return s->NewCoordinates(n, aiming, count); });
}

HRESULT CGenericKavro::FireShot(int32_t n, IAiming* aiming, IShot* shot)
{
    return host_.FireEvent([&](_IKavroDeviceEvents* s) { return s->Shot(n, aiming, shot); });
}

HRESULT CGenericKavro::FireConcludeAiming(int32_t n, IAiming* aiming)
{
    return host_.FireEvent([&](_IKavroDeviceEvents* s) { return s->ConcludeAiming(n, aiming); });
}

HRESULT CGenericKavro::FireFinalConcludeAiming(int32_t n)
{
    return host_.FireEvent([&](_IKavroDeviceEvents* s) { return s->FinalConcludeAiming(n); });
}

HRESULT CGenericKavro::FirePulseChanged(int32_t n, int32_t pulse)
{
    return host_.FireEvent([&](_IKavroDeviceEvents* s) { return s->PulseChanged(n, pulse); });
}

HRESULT CGenericKavro::FireTrigger(int32_t n, int32_t count)
{
    return host_.FireEvent([&](_IKavroDeviceEvents* s) { return s->Trigger(n, count); });
}

HRESULT CGenericKavro::FireHeartBeat(int32_t n, DATE dateMin, DATE dateMax)
{
    return host_.FireEvent([&](_IKavroDeviceEvents* s) { return s->HeartBeat(n, dateMin, dateMax); });
}

HRESULT CGenericKavro::FireDisconnected()
{
    return host_.FireEvent([](_IKavroDeviceEvents* s) { return s->Disconnected(); });
}

HRESULT CGenericKavro::FireReconnected()
{
    return host_.FireEvent([](_IKavroDeviceEvents* s) { return s->Reconnected(); });
}

HRESULT CGenericKavro::FireTimeout(int32_t seconds)
{
    return host_.FireEvent([&](_IKavroDeviceEvents* s) { return s->Timeout(seconds); });
}

} // namespace kavro
