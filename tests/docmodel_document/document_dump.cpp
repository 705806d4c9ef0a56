#include "document_dump.h"

#include "com/classregistry.h"
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"

#include <QJsonArray>

#include <cstring>

namespace doctest {

namespace {

// The trace offers no list of its channels: these are the names the tests use.
const char* const kChannelNames[] = {"_trigger", "pressure", "empty channel"};

// Every name the tests give document values.
const std::initializer_list<const char*> kDocumentValueNames = {"_comments",
                                                                "_position",
                                                                "_steadiness_diam",
                                                                "v_bool",
                                                                "v_bstr",
                                                                "v_bstr_empty",
                                                                "v_bstr_null",
                                                                "v_cy",
                                                                "v_date",
                                                                "v_dispatch_null",
                                                                "v_error",
                                                                "v_i1",
                                                                "v_i2",
                                                                "v_i4",
                                                                "v_i8",
                                                                "v_int",
                                                                "v_r4",
                                                                "v_r8",
                                                                "v_ui1",
                                                                "v_ui2",
                                                                "v_ui4",
                                                                "v_ui8",
                                                                "v_uint",
                                                                "zzz_object"};

template <class T> QString hexOf(T v)
{
    QByteArray b(sizeof(T), '\0');
    std::memcpy(b.data(), &v, sizeof(T));
    return QString::fromLatin1(b.toHex());
}

QString guidHex(const Guid& id)
{
    auto s = kavro::MemoryStream::create();
    kavro::writeGuid(s.get(), id);
    return QString::fromLatin1(s->bytes().toHex());
}

QJsonValue text(const QString& s)
{
    return s.isNull() ? QJsonValue() : QJsonValue(s);
}

QJsonObject variantJson(const Variant& v)
{
    QJsonObject o{{"vt", int(v.vt())}};
    switch (v.vt()) {
    case VT_R4: o["v"] = hexOf(v.r4()); break;
    case VT_R8:
    case VT_DATE: o["v"] = hexOf(v.r8()); break;
    case VT_BSTR: o["v"] = text(v.bstr()); break;
    case VT_DECIMAL: {
        QString decimal;
        v.toString(&decimal);
        o["v"] = decimal;
        break;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH: {
        ComPtr<IPersistStreamInit> persist;
        Guid clsid;
        auto s = kavro::MemoryStream::create();
        if (v.object() && SUCCEEDED(v.object()->QueryInterface(IPersistStreamInit::iid, persist.putVoid()))) {
            persist->GetClassID(&clsid);
            persist->Save(s.get(), 0);
        }
        o["clsid"] = guidHex(clsid);
        o["v"] = QString::fromLatin1(s->bytes().toHex());
        break;
    }
    case VT_I1: o["v"] = QString::number(int8_t(v.integer())); break;
    case VT_UI1: o["v"] = QString::number(uint8_t(v.integer())); break;
    case VT_I2:
    case VT_BOOL: o["v"] = QString::number(int16_t(v.integer())); break;
    case VT_UI2: o["v"] = QString::number(uint16_t(v.integer())); break;
    case VT_UI4:
    case VT_UINT: o["v"] = QString::number(uint32_t(v.integer())); break;
    case VT_I8:
    case VT_CY: o["v"] = QString::number(qint64(v.integer())); break;
    case VT_UI8: o["v"] = QString::number(quint64(v.integer())); break;
    default: o["v"] = QString::number(int32_t(v.integer())); break;
    }
    return o;
}

// Bags are only reachable by name through the interfaces: the dump asks for the names the tests
// use.
template <class Owner> QJsonObject namedBag(Owner* owner, std::initializer_list<const char*> names)
{
    QJsonObject out;
    for (const char* name : names) {
        Variant v;
        if (SUCCEEDED(owner->get_Value(QString::fromUtf8(name), &v)) && !v.isEmpty())
            out[QString::fromUtf8(name)] = variantJson(v);
    }
    return out;
}

QString shortNameOf(IEventParams* e)
{
    QString name;
    if (e)
        e->get_ShortName(&name);
    return name;
}

QJsonObject traceJson(IAimingTrace* trace)
{
    int32_t first = 0, count = 0;
    trace->get_First(&first);
    trace->get_Count(&count);
    QJsonArray xs, ys, channels;
    for (int32_t i = first; i < first + count; ++i) {
        int32_t x = 0, y = 0;
        trace->_GetPoint(i, &x, &y);
        xs.append(x);
        ys.append(y);
    }
    for (const char* name : kChannelNames) {
        int32_t index = -1;
        trace->GetUserData(QString::fromUtf8(name), &index);
        if (index < 1)
            continue;
        QJsonArray values;
        for (int32_t i = first; i < first + count; ++i) {
            int32_t v = 0;
            trace->get_UserData(index, i, &v);
            values.append(v);
        }
        channels.append(QJsonObject{{"index", index}, {"name", QString::fromUtf8(name)}, {"values", values}});
    }
    return {{"first", first}, {"count", count}, {"x", xs}, {"y", ys}, {"channels", channels}};
}

QJsonObject attrJson(IAimingAttr* attr)
{
    ComPtr<IEventParams> event;
    attr->get_Event(event.put());
    DATE start = 0, enter = 0;
    int32_t rate = 0, f = 0, sub = 0;
    VARIANT_BOOL match = 0;
    attr->get_StartTime(&start);
    attr->get_EnterTime(&enter);
    attr->get_SampleRate(&rate);
    attr->get_FCoefficient(&f);
    attr->get_Match(&match);
    attr->get_SubTarget(&sub);
    return {{"event", shortNameOf(event.get())},
            {"start", hexOf(start)},
            {"enter", hexOf(enter)},
            {"rate", rate},
            {"f", f},
            {"match", match == VARIANT_TRUE},
            {"subTarget", sub},
            {"values", namedBag(attr, {"note", "count", "flag"})}};
}

void shotJson(IShot* shot, QJsonArray* stored, QJsonArray* derived)
{
    VARIANT_BOOL missed = 0, hidden = 0;
    int32_t index = 0;
    DATE time = 0;
    shot->get_Missed(&missed);
    shot->get_Hidden(&hidden);
    shot->get_TraceIndex(&index);
    shot->get_ShotTime(&time);
    stored->append(QJsonObject{{"missed", missed == VARIANT_TRUE},
                               {"hidden", hidden == VARIANT_TRUE},
                               {"traceIndex", index},
                               {"time", hexOf(time)},
                               {"values", namedBag(shot, {"_comments", "_microphone_phase", "label"})}});
    float result = 0, x = 0, y = 0;
    shot->get_Result(&result);
    shot->Breach(&x, &y);
    derived->append(QJsonObject{{"result", hexOf(result)}, {"x", hexOf(x)}, {"y", hexOf(y)}});
}

} // namespace

QJsonObject dumpDocument(IKavroDocument* document)
{
    QString shooter;
    int32_t version = 0;
    VARIANT_BOOL valid = 0;
    document->get_ShooterName(&shooter);
    document->get_FileVersion(&version);
    document->get_Valid(&valid);
    ComPtr<IAimingCollection> aimings;
    document->get_Aimings(aimings.put());
    ComPtr<IEventParams> event;
    aimings->get_Event(event.put());

    QJsonArray aimingList, derivedShots;
    int32_t count = 0;
    aimings->get_Count(&count);
    for (int32_t i = 1; i <= count; ++i) {
        ComPtr<IAiming> aiming;
        aimings->get_Item(i, aiming.put());
        ComPtr<IAimingAttr> attr;
        ComPtr<IAimingTrace> trace;
        aiming->get_Attr(attr.put());
        aiming->get_Trace(trace.put());
        QJsonArray shots;
        int32_t shotCount = 0;
        aiming->get_ShotCount(&shotCount);
        for (int32_t k = 1; k <= shotCount; ++k) {
            ComPtr<IShot> shot;
            aiming->Shot(k, shot.put());
            shotJson(shot.get(), &shots, &derivedShots);
        }
        aimingList.append(
            QJsonObject{{"attr", attrJson(attr.get())}, {"trace", traceJson(trace.get())}, {"shots", shots}});
    }
    QJsonObject stored{{"version", version},
                       {"shooter", text(shooter)},
                       {"event", shortNameOf(event.get())},
                       {"aimings", aimingList},
                       {"values", namedBag(document, kDocumentValueNames)}};
    return {{"stored", stored}, {"derived", QJsonObject{{"valid", valid == VARIANT_TRUE}, {"shots", derivedShots}}}};
}

QJsonObject loadAndDump(const QString& path)
{
    ComPtr<IKavroDocument> document;
    createInstance(kavrodoc::CLSID_KavroDocument, &document);
    document->put_FileName(path);
    HRESULT hr = document->Load();
    return {{"hr", QStringLiteral("0x%1").arg(uint32_t(hr), 8, 16, QLatin1Char('0'))},
            {"dump", dumpDocument(document.get())}};
}

} // namespace doctest
