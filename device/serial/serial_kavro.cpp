#include "device/serial/serial_kavro.h"

#include "device/serial/frame_splitter.h"
#include "device/serial/identify.h"
#include "serial/serial_port.h"

#include <algorithm>

namespace kavro {

namespace {
constexpr uint32_t kSilenceMs = 1000;
constexpr uint32_t kReconnectRetryMs = 1000;
constexpr uint32_t kCommandPauseMs = 50;
constexpr uint32_t kDataWaitMs = 50;
constexpr uint32_t kLineCheckMs = 100;
} // namespace

class CSerialKavro::Reader final : public CThread {
public:
    explicit Reader(CSerialKavro& model) : model_(model) { }
    ~Reader() override { Stop(); }

protected:
    void Run() override { model_.ReadLoop(StopEvent()); }

private:
    CSerialKavro& model_;
};

CSerialKavro::CSerialKavro(DeviceHost& host, std::unique_ptr<SerialPort> port, int32_t modelNumber)
    : CGenericKavro(host, std::move(port)), modelNumber_(modelNumber)
{
}

CSerialKavro::~CSerialKavro()
{
    StopReader();
}

bool CSerialKavro::SetUpPort()
{
    SerialPort* serial = port();
    if (!serial || !serial->isOpen())
        return false;
    SerialTimeouts t;
    t.ReadIntervalTimeout = SerialTimeouts::Max;
    t.ReadTotalTimeoutMultiplier = SerialTimeouts::Max;
    t.ReadTotalTimeoutConstant = kDataWaitMs;
    t.WriteTotalTimeoutMultiplier = 1000;
    t.WriteTotalTimeoutConstant = 1000;
    if (FAILED(serial->setTimeouts(t)))
        return false;
    if (!SetPortSpeed(static_cast<uint32_t>(BaudRate())))
        return false;
    serial->purge(PurgeRxClear | PurgeRxAbort);
    return true;
}

bool CSerialKavro::Open()
{
    if (IsOpen())
        return true;
    if (!SetUpPort())
        return false;
    if (!CGenericKavro::Open())
        return false;
    connected_ = true;
    reader_ = std::make_unique<Reader>(*this);
    if (!reader_->Start()) {
        reader_.reset();
        return false;
    }
    return true;
}

void CSerialKavro::StopReader()
{
    if (reader_) {
        // Wakes the reader from its wait in the port.
        reader_->StopEvent().set();
        if (SerialPort* serial = port())
            serial->purge(PurgeRxAbort);
        reader_->Stop();
        reader_.reset();
    }
}

void CSerialKavro::Close()
{
    // The reader goes first: it must not touch the port or the ring while they are taken down.
    StopReader();
    CGenericKavro::Close();
}

bool CSerialKavro::SetPortSpeed(uint32_t baud)
{
    SerialPort* serial = port();
    if (!serial)
        return false;
    SerialSettings s;
    s.baudRate = baud;
    s.dataBits = 8;
    s.parity = Parity::None;
    s.stopBits = StopBits() == 2 ? StopBits::Two : StopBits::One;
    if (FAILED(serial->setSettings(s)))
        return false;
    serial->purge(PurgeRxClear);
    return true;
}

bool CSerialKavro::SetDtrRts()
{
    SerialPort* serial = port();
    return serial && SUCCEEDED(serial->setDtr(true)) && SUCCEEDED(serial->setRts(true));
}

void CSerialKavro::PurgeReceive()
{
    if (SerialPort* serial = port())
        serial->purge(PurgeRxClear);
}

bool CSerialKavro::SendCommand()
{
    command_.Finish();
    SerialPort* serial = port();
    if (!serial)
        return false;
    uint32_t written = 0;
    const HRESULT hr = serial->write(command_.data(), static_cast<uint32_t>(command_.size()), &written);
    host().clock().sleep(kCommandPauseMs, &StopEvent());
    return SUCCEEDED(hr) && written == command_.size();
}

bool CSerialKavro::SendCommand(uint8_t code, std::initializer_list<uint8_t> arguments)
{
    BeginCommand(code);
    for (uint8_t b : arguments)
        AddByte(b);
    return SendCommand();
}

bool CSerialKavro::PostEvent(const SampleRecord& record)
{
    // Given up when the reader is told to stop, so that Close never waits on a full ring.
    const ManualEvent* stop = reader_ ? &reader_->StopEvent() : &StopEvent();
    return pipeline().PostEvent(record, stop);
}

bool CSerialKavro::RestoreLine()
{
    SerialPort* serial = port();
    if (!serial)
        return false;
    DeviceIdentification record;
    if (!IdentifySerialSensor(*serial, record, host().clock()) || record.modelNumber != modelNumber_)
        return false;
    return SetUpPort();
}

uint32_t CSerialKavro::PollIntervalMs() const
{
    const int32_t rate = host().readerView().sampleRate();
    return rate > 0 ? static_cast<uint32_t>(std::max(1000 / rate, 1)) : 10;
}

// The reader sleeps in the port's read until bytes come (the read time-outs say: return with the
// first bytes, or after kDataWaitMs without any), so it wakes once per burst of data rather than
// on a fixed beat. The lines are looked at when a wait brought nothing, and while data flows at
// most every kLineCheckMs: a sensor that goes away stops sending first.
void CSerialKavro::ReadLoop(const ManualEvent& stop)
{
    SerialPort* serial = port();
    Clock& clock = host().clock();
    const size_t frameLength = static_cast<size_t>(std::max(FrameLength(), 1));
    const size_t rate = static_cast<size_t>(std::max(host().readerView().sampleRate(), 1));
    FrameSplitter splitter(frameLength, frameLength * rate);
    uint32_t lastData = clock.tickMs();
    uint32_t lastReconnect = lastData - kReconnectRetryMs;
    uint32_t lastLineCheck = lastData - kLineCheckMs;
    bool dataCame = false;
    SampleRecord record;

    auto onFrame = [&](const uint8_t* frame) {
        record = SampleRecord{};
        if (Decode(frame, record))
            PostEvent(record);
        else
            CountInvalid();
    };
    // Outside the connected state the reader looks at the lines on the sample beat, as it
    // always has; false once stopped.
    auto pause = [&] { return !clock.sleep(PollIntervalMs(), &stop); };

    while (!stop.isSet()) {
        if (!dataCame || clock.tickMs() - lastLineCheck >= kLineCheckMs || !connected_) {
            lastLineCheck = clock.tickMs();
            uint32_t lines = 0;
            serial->modemStatus(&lines);
            const bool up = (lines & ModemCtsOn) && (lines & ModemDsrOn);
            if (!up) {
                if (connected_.exchange(false)) {
                    splitter.clear();
                    pipeline().SendNotice(NoticeKind::Disconnected, 0, &stop);
                }
                dataCame = false;
                if (!pause())
                    break;
                continue;
            }
            if (!connected_) {
                // Identification takes about a second and ties up the port: not more than once a second.
                if (clock.tickMs() - lastReconnect >= kReconnectRetryMs) {
                    pipeline().SendNotice(NoticeKind::Reconnected, 0, &stop);
                    lastReconnect = clock.tickMs();
                    lastData = lastReconnect;
                    splitter.clear();
                }
                if (!pause())
                    break;
                continue;
            }
        }
        uint32_t got = 0;
        const HRESULT hr = serial->read(splitter.freeSpace(), static_cast<uint32_t>(splitter.freeSize()), &got);
        dataCame = got > 0;
        if (got > 0) {
            splitter.commit(got, onFrame);
            lastData = clock.tickMs();
        } else if (clock.tickMs() - lastData > kSilenceMs) {
            pipeline().PostNotice(NoticeKind::Timeout, static_cast<intptr_t>((clock.tickMs() - lastData) / 1000));
            clock.sleep(kSilenceMs, &stop);
        } else if (FAILED(hr) && hr != E_ABORT && !pause()) {
            break; // the device has gone: the lines tell, without spinning on the failing read
        }
    }
}

} // namespace kavro
