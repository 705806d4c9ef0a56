#include "raw_document_reader.h"

#include "aiming.h"
#include "aiming_attr.h"
#include "event_manager_access.h"
#include "storage/file/atomic_file.h"
#include "windows1252.h"

#include <array>
#include <cstring>

namespace kavrodoc {

namespace {

// A string field longer than this was never written by the old program; its text is cut here.
constexpr uint32_t kLongestString = 499;
constexpr int32_t kMostPoints = 16380;
// The fixed part of an aiming of the oldest version: flags, five empty strings, times, rates,
// scale, the ten ignored fields, the point count and one point.
constexpr uint64_t kSmallestAiming = 4 + 4 + 5 * 4 + 4 * 4 + 4 * 4 + 10 * 4 + 4 + 4;

constexpr uint32_t kMatchFlag = 0x40;
constexpr uint32_t kHiddenShotFlag = 0x4000;
constexpr uint32_t kPositionBits = 0x1c;

struct KnownEvent {
    const char* longName;
    const char* shortName;
};

constexpr std::array<KnownEvent, 5> kKnownEvents = {{
    {"Smallbore Free Rifle three Positions 50 Meters", "SBR50"},
    {"Smallbore Free Rifle English Match 50 Meters", "SBR50"},
    {"Air Pistol 10 Meters", "AP10"},
    {"Air Rifle 10 Meters", "AR10"},
    {"Smallbore Pistol 50 meters", "SBP50"},
}};

// Every read is checked against the end of the file, so no field can reach past it.
class FieldReader {
public:
    explicit FieldReader(const QByteArray& bytes) : bytes_(bytes) { }

    bool seek(uint64_t pos)
    {
        if (pos > uint64_t(bytes_.size()))
            return false;
        pos_ = pos;
        return true;
    }
    bool skip(uint64_t n) { return n <= remaining() && seek(pos_ + n); }
    uint64_t remaining() const { return uint64_t(bytes_.size()) - pos_; }

    template <class T> bool read(T* out)
    {
        if (remaining() < sizeof(T))
            return false;
        std::memcpy(out, bytes_.constData() + pos_, sizeof(T));
        pos_ += sizeof(T);
        return true;
    }
    bool skipInts(int n) { return skip(uint64_t(n) * 4); }

    // A count of -1 is the empty string; a longer text than the old program could write keeps
    // its first bytes, and the whole field is consumed so the fields after it stay in place.
    bool readString(QString* out)
    {
        uint32_t count = 0;
        if (!read(&count))
            return false;
        out->clear();
        if (count == 0xffffffffu)
            return true;
        if (count > remaining())
            return false;
        const uint32_t kept = std::min(count, kLongestString);
        *out = fromWindows1252(QByteArray(bytes_.constData() + pos_, kept));
        pos_ += count;
        return true;
    }
    bool skipString()
    {
        QString ignored;
        return readString(&ignored);
    }

private:
    const QByteArray& bytes_;
    uint64_t pos_ = 0;
};

QString joinComments(const QString& first, const QString& second)
{
    if (second.isEmpty())
        return first;
    if (first.isEmpty())
        return second;
    return first + QStringLiteral("\r\n\r\n") + second;
}

const char* shortNameOf(const QString& longName)
{
    for (const auto& known : kKnownEvents) {
        if (longName.compare(QLatin1String(known.longName), Qt::CaseInsensitive) == 0)
            return known.shortName;
    }
    return nullptr;
}

// Seconds since 1901-01-01 as a DATE (day 367 is that day).
DATE fromOldTime(uint32_t seconds)
{
    return double(seconds) / 86400.0 + 367.0;
}

struct DocumentHeader {
    QString shortName;
    QString comments;
    int32_t fCoefficient = 0;
    int32_t aimingCount = 0;
};

struct AimingFields {
    uint32_t flags = 0;
    QString comments;
    uint32_t startTime = 0;
    uint32_t shotTime = 0;
    int32_t shotSample = 0;
    int32_t sampleRate = 0;
    int32_t scale = 0;
    int32_t pointCount = 0;
};

bool readHeaderFields(FieldReader& r, int32_t version, DocumentHeader* header, QString* shooter)
{
    QString eventName, first, second;
    if ((version >= 3 && !r.skipInts(1)) || !r.readString(&eventName) || !r.readString(shooter) || !r.readString(&first)
        || !r.skipString() || !r.readString(&second))
        return false;
    if ((version >= 6 && !r.skipString()) || (version >= 2 && !r.skipInts(1)) || (version >= 5 && !r.skipInts(2)))
        return false;
    if (!r.skipInts(5) || !r.read(&header->fCoefficient) || !r.skipInts(3) || !r.read(&header->aimingCount))
        return false;
    const char* shortName = shortNameOf(eventName);
    if (!shortName)
        return false;
    header->shortName = QString::fromLatin1(shortName);
    header->comments = first.isEmpty() ? QString() : joinComments(first, second);
    return true;
}

bool readAimingFields(FieldReader& r, AimingFields* a)
{
    int32_t version = 0;
    QString first, second;
    if (!r.read(&version) || !r.read(&a->flags) || !r.skipString() || !r.readString(&first) || !r.skipString()
        || !r.readString(&second) || !r.skipString())
        return false;
    a->comments = joinComments(first, second);
    if ((version >= 2 && !r.skipInts(1)) || (version >= 6 && !r.skip(4)))
        return false;
    if (!r.read(&a->startTime) || !r.skipInts(1) || !r.read(&a->shotTime) || (version >= 5 && !r.skipInts(1)))
        return false;
    if (!r.skipInts(1) || !r.read(&a->shotSample) || !r.read(&a->sampleRate) || !r.skipInts(1) || !r.read(&a->scale))
        return false;
    return (version < 4 || r.skipInts(1)) && r.skipInts(10) && r.read(&a->pointCount);
}

// Sensor units become 0.01 mm; the old y axis points down.
HRESULT addPointsAndShot(FieldReader& r, const AimingFields& a, IAiming* aiming, IAimingTrace* trace)
{
    for (int32_t i = 0; i < a.pointCount; ++i) {
        int16_t x = 0, y = 0;
        if (!r.read(&x) || !r.read(&y))
            return E_FAIL;
        if (FAILED(trace->_Add(int32_t(x) * 100 / a.scale, int32_t(y) * -100 / a.scale)))
            return E_OUTOFMEMORY;
        if (i != a.shotSample)
            continue;
        ComPtr<IShot> shot;
        if (FAILED(aiming->AddShot(VARIANT_FALSE, shot.put())) || !shot
            || FAILED(shot->put_ShotTime(fromOldTime(a.shotTime)))
            || FAILED(shot->put_Hidden(toVariantBool(a.flags & kHiddenShotFlag))))
            return E_OUTOFMEMORY;
        if (!a.comments.isEmpty() && FAILED(shot->put_Value(QStringLiteral("_comments"), Variant(a.comments))))
            return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT readAiming(FieldReader& r, const DocumentHeader& header, IEventParams* event, IAimingCollection* aimings,
                   uint32_t* positionBits)
{
    AimingFields a;
    if (!readAimingFields(r, &a))
        return E_FAIL;
    *positionBits |= a.flags & kPositionBits;
    // Callers tell a count no trace of the format could hold from a file cut short by the result.
    if (a.pointCount < 1 || a.pointCount > kMostPoints)
        return E_OUTOFMEMORY;
    if (uint64_t(a.pointCount) * 4 > r.remaining())
        return E_FAIL;
    // A zero scale or a rate the attributes refuse would leave points without a unit or a trace
    // without storage. Such an aiming is passed over rather than costing the user the others.
    if (a.scale == 0 || !isSettableSampleRate(a.sampleRate))
        return r.skip(uint64_t(a.pointCount) * 4) ? S_FALSE : E_FAIL;

    auto aiming = CAiming::create();
    ComPtr<IAimingAttr> attr = aiming->attr();
    ComPtr<IAimingTrace> trace = aiming->trace();
    if (!attr || !trace || FAILED(attr->put_Event(event))
        || FAILED(attr->put_Match(toVariantBool(a.flags & kMatchFlag))) || FAILED(attr->put_SampleRate(a.sampleRate)))
        return E_FAIL;
    DATE start = fromOldTime(a.startTime);
    const DATE shot = fromOldTime(a.shotTime);
    if (a.shotTime < a.startTime)
        start = shot - double(a.pointCount) / double(a.sampleRate) / 86400.0;
    if (FAILED(attr->put_StartTime(start)) || FAILED(attr->put_EnterTime(start))
        || FAILED(trace->put_WrapEnabled(VARIANT_FALSE)))
        return E_FAIL;

    HRESULT hr = addPointsAndShot(r, a, aiming.get(), trace.get());
    if (FAILED(hr))
        return hr;
    if (FAILED(trace->put_ReadOnly(VARIANT_TRUE)) || FAILED(attr->put_FCoefficient(header.fCoefficient))
        || FAILED(aimings->Add(aiming.get())))
        return E_FAIL;
    return S_OK;
}

const char* positionName(uint32_t bits)
{
    switch (bits) {
    case 8: return "standing";
    case 16: return "prone";
    case 4: return "kneeling";
    default: return nullptr;
    }
}

} // namespace

HRESULT readRawDocumentBytes(const QByteArray& bytes, const RawDocumentSink& sink)
{
    if (!sink.aimings || !sink.shooterName || !sink.fileVersion || !sink.values)
        return E_POINTER;
    FieldReader r(bytes);
    int32_t headerLength = 0, version = 0;
    if (!r.seek(5) || !r.read(&headerLength) || (headerLength != 21 && headerLength != 10)
        || !r.seek(uint64_t(headerLength) + 9) || !r.read(&version))
        return E_FAIL;
    *sink.fileVersion = version;

    DocumentHeader header;
    if (!readHeaderFields(r, version, &header, sink.shooterName))
        return E_FAIL;
    if (header.aimingCount < 0 || uint64_t(header.aimingCount) * kSmallestAiming > r.remaining())
        return E_FAIL;
    ComPtr<IEventParams> event;
    if (FAILED(findInstalledEvent(sink.events, header.shortName, &event)))
        return E_FAIL;

    uint32_t positionBits = 0;
    int32_t added = 0;
    for (int32_t i = 0; i < header.aimingCount; ++i) {
        if (sink.progress)
            sink.progress(i, header.aimingCount);
        HRESULT hr = readAiming(r, header, event.get(), sink.aimings, &positionBits);
        if (FAILED(hr))
            return hr;
        added += hr == S_OK;
    }
    // A file whose every aiming was passed over has nothing to show.
    if (header.aimingCount > 0 && added == 0)
        return E_FAIL;
    if (header.shortName == QLatin1String("SBR50")) {
        if (const char* position = positionName(positionBits))
            sink.values->put(QStringLiteral("_position"), Variant(position));
    }
    if (!header.comments.isEmpty())
        sink.values->put(QStringLiteral("_comments"), Variant(header.comments));
    return S_OK;
}

HRESULT readRawDocument(const QString& path, const RawDocumentSink& sink)
{
    QByteArray bytes;
    if (FAILED(readWholeFile(path, &bytes, kMaxRawDocumentBytes)))
        return E_FAIL;
    return readRawDocumentBytes(bytes, sink);
}

} // namespace kavrodoc
