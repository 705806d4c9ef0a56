#include "event_params.h"

#include "event_file.h"
#include "locked_property.h"
#include "module_folder.h"
#include "object_helpers.h"
#include "scoring.h"
#include "target_params.h"
#include "value_members.h"
#include "com/classregistry.h"
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"

#include <QDir>
#include <QFileInfo>

namespace kavrodoc {

using kavro::readValue;
using kavro::writeValue;

KAVRO_REGISTER_CLASS(CEventParams, ProgId_EventParams);

CEventParams::CEventParams()
{
    f_.targets.push_back(CTargetParams::create());
}

KAVRO_LOCKED_VALUE_BAG(CEventParams, f_.values, dirty_)

HRESULT CEventParams::get_ShortName(QString* out) KAVRO_LOCKED_GET(f_.shortName)
HRESULT CEventParams::put_ShortName(const QString& value) KAVRO_LOCKED_PUT(f_.shortName)

// Sub-targets are added one at a time: TargetCount + 1 appends a new one.
HRESULT CEventParams::targetAt(Fields* f, int32_t subTarget, ComPtr<ITargetParams>* out)
{
    const auto count = static_cast<int32_t>(f->targets.size());
    if (subTarget < 1 || subTarget > count + 1)
        return E_INVALIDARG;
    if (subTarget == count + 1)
        f->targets.push_back(CTargetParams::create());
    *out = f->targets[static_cast<size_t>(subTarget) - 1];
    return S_OK;
}

HRESULT CEventParams::get_Target(int32_t subTarget, ITargetParams** out)
{
    if (!out || *out)
        return E_POINTER;
    std::lock_guard guard(mutex_);
    ComPtr<ITargetParams> target;
    HRESULT hr = targetAt(&f_, subTarget, &target);
    if (FAILED(hr))
        return hr;
    *out = target.detach();
    return S_OK;
}

HRESULT CEventParams::GetTargetAppearance(int32_t subTarget, VARIANT_BOOL background, VARIANT_BOOL scoreRings,
                                          IUnknown** picture)
{
    if (!picture || *picture)
        return E_POINTER;
    std::lock_guard guard(mutex_);
    ITargetParams* target = scoringTarget(subTarget);
    if (!target)
        return E_INVALIDARG;
    const bool withBackground = background == VARIANT_TRUE;
    const bool withRings = scoreRings == VARIANT_TRUE;
    ComPtr<kavro::Picture> face = faces_.find(subTarget, withBackground, withRings);
    if (!face) {
        HRESULT hr = buildTargetFace(target, withBackground, withRings, &face);
        if (FAILED(hr))
            return hr;
        faces_.store(subTarget, withBackground, withRings, face);
    }
    return face->QueryInterface(kavro::IPictureDisp::iid, reinterpret_cast<void**>(picture));
}

HRESULT CEventParams::get_Name(QString* out) KAVRO_LOCKED_GET(f_.name)
HRESULT CEventParams::put_Name(const QString& value) KAVRO_LOCKED_PUT(f_.name)
HRESULT CEventParams::get_Caliber(float* out) KAVRO_LOCKED_GET(f_.caliber)

HRESULT CEventParams::put_Caliber(float value)
{
    if (!(value >= 0.1f))
        return E_INVALIDARG;
    KAVRO_LOCKED_PUT(f_.caliber)
}

HRESULT CEventParams::get_Distance(float* out) KAVRO_LOCKED_GET(f_.distance)

HRESULT CEventParams::put_Distance(float value)
{
    if (!(value >= 2.0f && value <= 1000.0f))
        return E_INVALIDARG;
    KAVRO_LOCKED_PUT(f_.distance)
}

HRESULT CEventParams::get_MinShotsPerAiming(int32_t* out) KAVRO_LOCKED_GET(f_.minShotsPerAiming)
HRESULT CEventParams::put_MinShotsPerAiming(int32_t value) KAVRO_LOCKED_PUT(f_.minShotsPerAiming)
HRESULT CEventParams::get_MaxShotsPerAiming(int32_t* out) KAVRO_LOCKED_GET(f_.maxShotsPerAiming)
HRESULT CEventParams::put_MaxShotsPerAiming(int32_t value) KAVRO_LOCKED_PUT(f_.maxShotsPerAiming)

ITargetParams* CEventParams::scoringTarget(int32_t subTarget) const
{
    if (subTarget < 1 || static_cast<size_t>(subTarget) > f_.targets.size())
        return nullptr;
    return f_.targets[static_cast<size_t>(subTarget) - 1].get();
}

HRESULT CEventParams::scoreOn(float x, float y, int32_t subTarget, float caliber, float* score)
{
    if (!score)
        return E_POINTER;
    *score = 0;
    ITargetParams* target = scoringTarget(subTarget);
    if (!target)
        return E_INVALIDARG;
    *score = scoring::score(target, x, y, caliber);
    return S_OK;
}

HRESULT CEventParams::GetPointScore(float x, float y, int32_t subTarget, float* score)
{
    std::lock_guard guard(mutex_);
    return scoreOn(x, y, subTarget, 0, score);
}

HRESULT CEventParams::GetBreachScore(float x, float y, int32_t subTarget, float* score)
{
    std::lock_guard guard(mutex_);
    return scoreOn(x, y, subTarget, f_.caliber, score);
}

HRESULT CEventParams::GetPointArea(float x, float y, int32_t subTarget, int32_t* areaIndex, float* cx, float* cy)
{
    if (!areaIndex || !cx || !cy)
        return E_POINTER;
    std::lock_guard guard(mutex_);
    ITargetParams* target = scoringTarget(subTarget);
    scoring::Area area = target ? scoring::pointArea(target, x, y) : scoring::Area{-1, 0, 0};
    *areaIndex = area.index;
    *cx = area.cx;
    *cy = area.cy;
    return target ? S_OK : E_INVALIDARG;
}

HRESULT CEventParams::GetNearestArea(float x, float y, int32_t subTarget, int32_t* areaIndex, float* cx, float* cy)
{
    if (!areaIndex || !cx || !cy)
        return E_POINTER;
    std::lock_guard guard(mutex_);
    ITargetParams* target = scoringTarget(subTarget);
    scoring::Area area = target ? scoring::nearestArea(target, x, y) : scoring::Area{-1, 0, 0};
    *areaIndex = area.index;
    *cx = area.cx;
    *cy = area.cy;
    return target ? S_OK : E_INVALIDARG;
}

QString CEventParams::fileNameFor(const QString& shortName)
{
    // The short name becomes a file name in the events folder and must not lead out of it.
    if (shortName.isEmpty() || shortName.contains(QLatin1Char('/')) || shortName.contains(QLatin1Char('\\'))
        || shortName.contains(QLatin1String("..")) || shortName.contains(QChar(0)))
        return {};
    return shortName + QStringLiteral(".evl");
}

HRESULT CEventParams::Save()
{
    std::lock_guard guard(mutex_);
    if (f_.shortName.isEmpty())
        return E_UNEXPECTED;
    QString fileName = fileNameFor(f_.shortName);
    if (fileName.isEmpty())
        return E_INVALIDARG;
    QString path = QDir(eventsFolder()).filePath(fileName);
    QFileInfo info(path);
    if (info.exists() && !info.isWritable()) {
        QFile file(path);
        if (!file.setPermissions(file.permissions() | QFileDevice::WriteOwner))
            return E_ACCESSDENIED;
    }
    auto stream = kavro::MemoryStream::create();
    HRESULT hr = kavro::writeObject(stream.get(), static_cast<IEventParams*>(this));
    if (FAILED(hr))
        return hr;
    return writeEventFile(path, clsid, stream->bytes());
}

HRESULT CEventParams::Update()
{
    return S_OK;
}

HRESULT CEventParams::get_DisplayCaliber(float* out) KAVRO_LOCKED_GET(f_.displayCaliber)

HRESULT CEventParams::put_DisplayCaliber(float value)
{
    if (!(value >= 0.1f))
        return E_INVALIDARG;
    KAVRO_LOCKED_PUT(f_.displayCaliber)
}

HRESULT CEventParams::get_TargetCount(int32_t* out) KAVRO_LOCKED_GET(static_cast<int32_t>(f_.targets.size()))
HRESULT CEventParams::get_MaxShotsPerSerie(int32_t* out) KAVRO_LOCKED_GET(f_.maxShotsPerSerie)
HRESULT CEventParams::put_MaxShotsPerSerie(int32_t value) KAVRO_LOCKED_PUT(f_.maxShotsPerSerie)
HRESULT CEventParams::get_ValuesCount(int32_t* out) KAVRO_LOCKED_GET(f_.values.count())

HRESULT CEventParams::KeyValue(int32_t index, QString* key, Variant* value)
{
    std::lock_guard guard(mutex_);
    return bagKeyValue(f_.values, index, key, value);
}

KAVRO_PERSIST_STREAM_INIT_BASICS(CEventParams, mutex_, dirty_)

namespace {
HRESULT loadTarget(IStream* s, ITargetParams* target)
{
    Guid id;
    if (FAILED(kavro::readGuid(s, &id)) || id != CLSID_TargetParams)
        return E_FAIL;
    return kavro::readObjectInto(s, target);
}
} // namespace

HRESULT CEventParams::readFields(IStream* s, Fields* f)
{
    int32_t version = 0;
    if (FAILED(kavro::readVersion(s, kStreamVersion, &version)))
        return E_FAIL;
    bool ok = SUCCEEDED(kavro::readBstr(s, &f->name)) && SUCCEEDED(kavro::readBstr(s, &f->shortName))
        && SUCCEEDED(readValue(s, &f->caliber)) && (version < 2 || SUCCEEDED(readValue(s, &f->displayCaliber)))
        && SUCCEEDED(readValue(s, &f->distance)) && SUCCEEDED(readValue(s, &f->maxShotsPerAiming))
        && SUCCEEDED(readValue(s, &f->minShotsPerAiming))
        && (version < 4 || SUCCEEDED(readValue(s, &f->maxShotsPerSerie)));
    if (!ok)
        return E_FAIL;
    int32_t count = 1;
    // Each target takes at least its class id and a version.
    if (version >= 3
        && (FAILED(readValue(s, &count)) || count < 0 || !kavro::fitsInStream(s, static_cast<uint64_t>(count), 20)))
        return E_FAIL;
    for (int32_t i = 1; i <= count; ++i) {
        ComPtr<ITargetParams> target;
        if (FAILED(targetAt(f, i, &target)))
            return E_FAIL;
        HRESULT hr = loadTarget(s, target.get());
        if (FAILED(hr))
            return hr;
    }
    return readBagInto(s, f->values);
}

HRESULT CEventParams::Load(IStream* stream)
{
    std::lock_guard guard(mutex_);
    HRESULT hr = loadIntoCopy(stream, f_, &readFields);
    if (FAILED(hr))
        return hr;
    faces_.clear(); // they show the targets just replaced
    dirty_ = false;
    return S_OK;
}

HRESULT CEventParams::Save(IStream* s, BOOL clearDirty)
{
    if (!s)
        return E_POINTER;
    std::lock_guard guard(mutex_);
    bool ok = SUCCEEDED(writeValue<int32_t>(s, kStreamVersion)) && SUCCEEDED(kavro::writeBstr(s, f_.name))
        && SUCCEEDED(kavro::writeBstr(s, f_.shortName)) && SUCCEEDED(writeValue(s, f_.caliber))
        && SUCCEEDED(writeValue(s, f_.displayCaliber)) && SUCCEEDED(writeValue(s, f_.distance))
        && SUCCEEDED(writeValue(s, f_.maxShotsPerAiming)) && SUCCEEDED(writeValue(s, f_.minShotsPerAiming))
        && SUCCEEDED(writeValue(s, f_.maxShotsPerSerie))
        && SUCCEEDED(writeValue<int32_t>(s, static_cast<int32_t>(f_.targets.size())));
    if (!ok)
        return E_FAIL;
    HRESULT hr = S_OK;
    for (size_t i = 0; SUCCEEDED(hr) && i < f_.targets.size(); ++i)
        hr = kavro::writeObject(s, f_.targets[i].get());
    if (SUCCEEDED(hr))
        hr = f_.values.write(s);
    return endSave(hr, clearDirty, &dirty_);
}

} // namespace kavrodoc
