// Whatever a document holds when it saves with S_OK, a load gives back: random documents built
// through the public interfaces (rates never set, empty and wrapped traces, channels, missed and
// hidden shots, values of every storable type) save, load in a fresh document and compare
// equal field by field, and a second save writes the same bytes.
#include "document_dump.h"
#include "support/document_fixture.h"
#include "com/classregistry.h"
#include "storage/cfb/compound_file.h"

#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>

using namespace doctest;

namespace {

class Maker {
public:
    explicit Maker(uint32_t seed) : random_(seed) { }

    ComPtr<IKavroDocument> document()
    {
        ComPtr<IKavroDocument> doc;
        EXPECT_EQ(createInstance(kavrodoc::CLSID_KavroDocument, &doc), S_OK);
        static const char* const kEvents[] = {"AR10", "AP10", "BTLN"};
        event_ = event(kEvents[below(3)]);
        EXPECT_EQ(doc->put_Event(event_.get()), S_OK);
        doc->put_ShooterName(text());
        fillBag(doc.get(), {"_comments", "_steadiness_diam", "v_bstr", "v_i4", "v_r8", "v_cy", "zzz_object"});
        ComPtr<IAimingCollection> aimings;
        doc->get_Aimings(aimings.put());
        const int count = below(6);
        for (int i = 0; i < count; ++i) {
            if (below(6) == 0) {
                ComPtr<IAiming> missed;
                EXPECT_EQ(aimings->AddMissed(flag(), missed.put()), S_OK);
                continue;
            }
            EXPECT_EQ(aimings->Add(aiming().get()), S_OK);
        }
        return doc;
    }

private:
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool chance(int oneIn) { return below(oneIn) == 0; }
    VARIANT_BOOL flag() { return toVariantBool(chance(2)); }
    uint64_t bits() { return (uint64_t(random_()) << 32) | random_(); }

    QString text()
    {
        switch (below(5)) {
        case 0: return QString();
        case 1: return QStringLiteral("");
        default: {
            QString s;
            const int n = below(12);
            for (int i = 0; i < n; ++i)
                s += QChar(char16_t(chance(3) ? below(0x10000) : 'a' + below(26)));
            return s;
        }
        }
    }

    Variant value()
    {
        static const VARTYPE kTypes[] = {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT, VT_UINT, VT_I8, VT_UI8};
        switch (below(11)) {
        case 0: return Variant::fromInteger(kTypes[below(10)], int64_t(bits()));
        case 1: return Variant(std::bit_cast<float>(uint32_t(bits())));
        case 2: return Variant(std::bit_cast<double>(bits()));
        case 3: return Variant::fromDate(std::bit_cast<double>(bits()));
        case 4: return Variant::fromCurrency(int64_t(bits()));
        case 5: return Variant::fromBool(chance(2));
        case 6: return Variant::fromError(int32_t(bits()));
        case 7: return Variant(text());
        case 8: {
            Variant decimal;
            EXPECT_EQ(Variant(QString::number(qint64(bits() >> 8)) + "." + QString::number(below(100000)))
                          .changeType(VT_DECIMAL, &decimal),
                      S_OK);
            return decimal;
        }
        case 9: return Variant::fromObject(nullptr, chance(2) ? VT_DISPATCH : VT_UNKNOWN);
        default: return Variant();
        }
    }

    template <class Owner> void fillBag(Owner* owner, std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            if (chance(2)) {
                EXPECT_EQ(owner->put_Value(QString::fromLatin1(name), value()), S_OK) << name;
            }
        }
    }

    ComPtr<IAiming> aiming()
    {
        ComPtr<IAiming> a;
        EXPECT_EQ(createInstance(kavrodoc::CLSID_Aiming, &a), S_OK);
        ComPtr<IAimingAttr> attr;
        ComPtr<IAimingTrace> trace;
        a->get_Attr(attr.put());
        a->get_Trace(trace.put());
        EXPECT_EQ(attr->put_Event(event_.get()), S_OK);
        const bool rated = !chance(4); // an aiming whose rate was never set saves too
        if (rated) {
            EXPECT_EQ(attr->put_SampleRate(20 + below(481)), S_OK);
        }
        attr->put_Match(flag());
        attr->put_FCoefficient(int32_t(bits()));
        attr->put_StartTime(std::bit_cast<double>(bits()));
        attr->put_EnterTime(double(below(100000)));
        attr->put_SubTarget(1 + below(3));
        fillBag(attr.get(), {"note", "count", "flag"});
        if (rated)
            fillTrace(trace.get());
        const int shots = below(3);
        for (int i = 0; i < shots; ++i) {
            ComPtr<IShot> shot;
            EXPECT_EQ(chance(2) ? a->AddShot(flag(), shot.put()) : a->AddShot2(flag(), 0.25 * below(8), shot.put()),
                      S_OK);
            shot->put_ShotTime(double(below(100000)) / 7);
            shot->put_Hidden(flag());
            fillBag(shot.get(), {"_comments", "label"});
        }
        if (chance(2))
            trace->put_ReadOnly(VARIANT_TRUE);
        return a;
    }

    void fillTrace(IAimingTrace* trace)
    {
        trace->put_MaxTimeBeforeShot(0.5f + float(below(20)) / 4);
        if (chance(2))
            trace->put_WrapEnabled(VARIANT_FALSE);
        // The stored form of an empty trace has no channels: only traces with samples get them.
        const int samples = chance(5) ? 0 : 1 + below(3000);
        int32_t channel = 0;
        if (samples > 0 && chance(2))
            trace->AddUserData(QStringLiteral("_trigger"), &channel);
        int32_t x = 0, y = 0;
        for (int i = 0; i < samples; ++i) {
            if (chance(50)) {
                EXPECT_EQ(trace->AddInvalid(), S_OK);
                continue;
            }
            // Mostly small steps, sometimes a jump of any size.
            x = chance(100) ? int32_t(bits()) : x + below(200) - 100;
            y = chance(100) ? int32_t(bits()) : y + below(2000) - 1000;
            if (x == INT32_MAX)
                --x;
            EXPECT_EQ(trace->_Add(x, y), S_OK);
        }
        if (samples > 0 && chance(3))
            trace->AddUserData(QStringLiteral("pressure"), &channel);
        int32_t first = 0, count = 0;
        trace->get_First(&first);
        trace->get_Count(&count);
        for (int32_t i = 0; channel > 0 && i < count; i += 1 + below(5))
            trace->put_UserData(channel, first + i, chance(10) ? int32_t(bits()) : below(3));
    }

    std::mt19937 random_;
    ComPtr<IEventParams> event_;
};

std::string canonical(const QJsonObject& o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString();
}

QByteArray contentsOf(const QString& path)
{
    CompoundFileReader reader;
    QByteArray contents;
    EXPECT_EQ(CompoundFileReader::open(path, &reader), S_OK);
    EXPECT_EQ(reader.readStream(QStringLiteral("Contents"), &contents), S_OK);
    return contents;
}

TEST(DocumentRoundTrip, RandomDocumentsSaveAndLoadBackEqual)
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.kavro"));
    const QString second = dir.filePath(QStringLiteral("second.kavro"));
    for (uint32_t seed = 1; seed <= 150; ++seed) {
        Maker maker(seed);
        auto doc = maker.document();
        doc->put_FileName(first);
        ASSERT_EQ(doc->Save(), S_OK) << "seed " << seed;

        ComPtr<IKavroDocument> loaded;
        ASSERT_EQ(createInstance(kavrodoc::CLSID_KavroDocument, &loaded), S_OK);
        loaded->put_FileName(first);
        ASSERT_EQ(loaded->Load(), S_OK) << "seed " << seed;
        EXPECT_EQ(canonical(dumpDocument(loaded.get())), canonical(dumpDocument(doc.get()))) << "seed " << seed;

        loaded->put_FileName(second);
        ASSERT_EQ(loaded->Save(), S_OK) << "seed " << seed;
        EXPECT_EQ(contentsOf(second), contentsOf(first)) << "seed " << seed;
    }
}

} // namespace
