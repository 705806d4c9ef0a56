// The cache file as the service writes it and every reader reads it.
#include "cache_location.h"
#include "cache_reader.h"
#include "cache_writer.h"
#include "support/catalog_env.h"
#include "thread/manual_event.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

using namespace kavro;
using namespace kavro::catalog;

namespace {

class CacheFileTest : public cattest::CatalogEnvTest {
protected:
    QByteArray fileBytes() const
    {
        QFile f(cachePath());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
    void writeFile(const QByteArray& bytes) const
    {
        QDir().mkpath(cacheDir());
        QFile f(cachePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static uint32_t u32(const QByteArray& b, size_t at)
    {
        return getU32(reinterpret_cast<const uint8_t*>(b.constData()) + at);
    }

    static CacheRecord document(const QString& path, const QString& event = QStringLiteral("Air Rifle"),
                                const QString& shooter = QStringLiteral("Anna"))
    {
        CacheRecord r;
        r.fileVersion = 3;
        r.path = path;
        r.event = event;
        r.shooter = shooter;
        return r;
    }
    static CacheRecord other(const QString& path)
    {
        CacheRecord r;
        r.path = path;
        return r;
    }
    // The end of the last live record, from the offsets the writer gives.
    static size_t endOfRecords(const CatalogCache& c)
    {
        const auto offsets = c.LiveRecordOffsets();
        return offsets.empty() ? kHeaderSize : offsets.back() + c.RecordAt(offsets.back()).byteLength();
    }
};

TEST_F(CacheFileTest, MissingOrSmallFileBecomesAnEmptyCacheOfTheSmallestSize)
{
    QByteArray expected(0x40000, '\0');
    putU32(reinterpret_cast<uint8_t*>(expected.data()), 7);
    putU32(reinterpret_cast<uint8_t*>(expected.data()) + 4, 0x40000);
    putU32(reinterpret_cast<uint8_t*>(expected.data()) + 60, 0x3FFFFFFF);
    {
        CatalogCache cache;
        ASSERT_EQ(cache.open(cachePath()), S_OK);
        EXPECT_EQ(cache.changeCounter(), 0u);
    }
    EXPECT_EQ(fileBytes(), expected);

    // A file below the smallest size is reset, even with a header that looks right.
    QByteArray small = expected.left(0x3FFFF);
    putU32(reinterpret_cast<uint8_t*>(small.data()) + 4, 0x3FFFF);
    putU32(reinterpret_cast<uint8_t*>(small.data()) + 8, 0);
    writeFile(small);
    {
        CatalogCache cache;
        ASSERT_EQ(cache.open(cachePath()), S_OK);
    }
    EXPECT_EQ(fileBytes(), expected);
    EXPECT_EQ(QFile(cachePath()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
}

TEST_F(CacheFileTest, IntactHeaderIsKeptAndOthersAreReset)
{
    {
        CatalogCache cache;
        ASSERT_EQ(cache.open(cachePath()), S_OK);
        ASSERT_EQ(cache.AppendRecord(document(QStringLiteral("/c/a.kavro"))), S_OK);
        ASSERT_EQ(cache.AppendRecord(other(QStringLiteral("/c/notes.txt"))), S_OK);
    }
    uint32_t counter = 0;
    {
        CatalogCache cache;
        ASSERT_EQ(cache.open(cachePath()), S_OK);
        EXPECT_EQ(cache.LiveDocuments(), 1u);
        EXPECT_EQ(cache.LiveNonDocuments(), 1u);
        EXPECT_NE(cache.FindRecordByPath(QStringLiteral("/c/notes.txt")), 0u);
        counter = cache.changeCounter();
    }
    const QByteArray good = fileBytes();

    auto reopened = [&](QByteArray bytes) {
        writeFile(bytes);
        CatalogCache cache;
        EXPECT_EQ(cache.open(cachePath()), S_OK);
        // The counter moves on every start, so that no reader takes the new cache for the old.
        EXPECT_EQ(cache.changeCounter(), ++counter);
        return std::make_pair(cache.LiveDocuments() + cache.LiveNonDocuments(), cache.MappedSize());
    };
    EXPECT_EQ(reopened(good), std::make_pair(2u, 0x40000u));

    QByteArray mark6 = good;
    putU32(reinterpret_cast<uint8_t*>(mark6.data()), 6);
    EXPECT_EQ(reopened(mark6), std::make_pair(0u, 0x40000u));
    EXPECT_EQ(u32(fileBytes(), 0), 7u);

    QByteArray otherSize = good;
    putU32(reinterpret_cast<uint8_t*>(otherSize.data()) + 4, 0x40000 - 4);
    EXPECT_EQ(reopened(otherSize), std::make_pair(0u, 0x40000u));

    QByteArray badEnd = good;
    putU32(reinterpret_cast<uint8_t*>(badEnd.data()) + 60, 0x3FFFFFFE);
    EXPECT_EQ(reopened(badEnd), std::make_pair(0u, 0x40000u));

    // A header that counts a record the file does not hold (a torn write) is not kept either.
    QByteArray torn = good;
    putU32(reinterpret_cast<uint8_t*>(torn.data()) + 8, 2);
    EXPECT_EQ(reopened(torn), std::make_pair(0u, 0x40000u));

    // A larger file keeps its size.
    QByteArray larger = good + QByteArray(0x40000, '\0');
    putU32(reinterpret_cast<uint8_t*>(larger.data()) + 4, 0x80000);
    EXPECT_EQ(reopened(larger), std::make_pair(2u, 0x80000u));
}

TEST_F(CacheFileTest, RecordLayoutIsByteExact)
{
    CatalogCache cache;
    ASSERT_EQ(cache.open(cachePath()), S_OK);
    CacheRecord r = document(QStringLiteral("/c/ä.kavro"), QStringLiteral("Air Pistol"), QStringLiteral("Zoë"));
    r.fileVersion = 10;
    r.fileSize = 0x01020304;
    r.writeTime = 0x1122334455667788ULL;
    r.date = 45123.5;
    r.shotCount = 40;
    r.resultSum = 371;
    r.decimalSum = 389.5f;
    r.fCoefficient = -3;
    r.comments = QStringLiteral("windy");
    r.position = QStringLiteral("kneeling");
    ASSERT_EQ(cache.AppendRecord(r), S_OK);
    const uint32_t n = 10 + 10 + 3 + 5 + 8;
    // Only the path: 71 + 2 x its length.
    ASSERT_EQ(cache.AppendRecord(other(QStringLiteral("/c/x"))), S_OK);
    cache.close();

    const QByteArray b = fileBytes();
    const auto* p = reinterpret_cast<const uint8_t*>(b.constData()) + 64;
    EXPECT_EQ(u32(b, 8), 1u);
    EXPECT_EQ(u32(b, 12), 1u);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(getU32(p + 1), 0xFFFF5FFFu);
    EXPECT_EQ(getU32(p + 5), 71 + 2 * n);
    EXPECT_EQ(getU32(p + 9), 10u);
    EXPECT_EQ(getU32(p + 13), 0x01020304u);
    EXPECT_EQ(getU32(p + 17), 0x55667788u);
    EXPECT_EQ(getU32(p + 21), 0x11223344u);
    double date;
    std::memcpy(&date, p + 25, 8);
    EXPECT_EQ(date, 45123.5);
    EXPECT_EQ(getU32(p + 33), 40u);
    EXPECT_EQ(getU32(p + 37), 371u);
    float decimal;
    std::memcpy(&decimal, p + 41, 4);
    EXPECT_EQ(decimal, 389.5f);
    EXPECT_EQ(getU32(p + 45), 0xFFFFFFFDu);
    EXPECT_EQ(getU32(p + 49), 10u);
    EXPECT_EQ(getU32(p + 53), 10u);
    EXPECT_EQ(getU32(p + 57), 3u);
    EXPECT_EQ(getU32(p + 61), 5u);
    EXPECT_EQ(getU32(p + 65), 8u);
    const QString texts = QString::fromUtf16(reinterpret_cast<const char16_t*>(p + 69), n);
    EXPECT_EQ(texts, QStringLiteral("/c/ä.kavroAir PistolZoëwindykneeling"));
    EXPECT_EQ(getU16(p + 69 + 2 * n), 0xF0FA);

    const uint8_t* q = p + 71 + 2 * n;
    EXPECT_EQ(q[0], 2);
    EXPECT_EQ(getU32(q + 5), 71u + 2 * 4);
    EXPECT_EQ(getU32(q + 9), 0u);
    EXPECT_EQ(getU16(q + 69 + 8), 0xF0FA);
}

TEST_F(CacheFileTest, DeletingMarksTheRecordAndCompactionWaitsForMoreThanAHundred)
{
    CatalogCache cache;
    ASSERT_EQ(cache.open(cachePath()), S_OK);
    for (int i = 0; i < 103; ++i)
        ASSERT_EQ(cache.AppendRecord(document(QStringLiteral("/c/%1.kavro").arg(i, 3, 10, QLatin1Char('0')))), S_OK);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(
            cache.DeleteRecord(cache.FindRecordByPath(QStringLiteral("/c/%1.kavro").arg(i, 3, 10, QLatin1Char('0')))),
            S_OK);
    const uint32_t before = cache.changeCounter();
    EXPECT_EQ(cache.DeletedRecords(), 100u);
    EXPECT_EQ(cache.LiveDocuments(), 3u);
    const QByteArray deleted = fileBytes();
    EXPECT_EQ(deleted.at(64), 1); // state 1, in place

    // With 100 deleted the append does not compact: the new record goes after the live ones.
    ASSERT_EQ(cache.AppendRecord(document(QStringLiteral("/c/new1.kavro"))), S_OK);
    EXPECT_EQ(cache.DeletedRecords(), 100u);
    EXPECT_GT(cache.LiveRecordOffsets().front(), 64u);
    EXPECT_EQ(cache.changeCounter(), before + 1);

    ASSERT_EQ(cache.DeleteRecord(cache.FindRecordByPath(QStringLiteral("/c/new1.kavro"))), S_OK);
    EXPECT_EQ(cache.DeletedRecords(), 101u);
    // With 101 it does: the live records slide down to offset 64 in their order.
    ASSERT_EQ(cache.AppendRecord(document(QStringLiteral("/c/new2.kavro"))), S_OK);
    EXPECT_EQ(cache.DeletedRecords(), 0u);
    const auto offsets = cache.LiveRecordOffsets();
    ASSERT_EQ(offsets.size(), 4u);
    EXPECT_EQ(offsets.front(), 64u);
    QStringList paths;
    for (size_t at : offsets)
        paths << cache.RecordAt(at).path;
    EXPECT_EQ(paths,
              (QStringList{QStringLiteral("/c/100.kavro"), QStringLiteral("/c/101.kavro"),
                           QStringLiteral("/c/102.kavro"), QStringLiteral("/c/new2.kavro")}));
    EXPECT_EQ(cache.FindRecordByPath(QStringLiteral("/c/101.kavro")), offsets[1]);
    // The file does not shrink.
    EXPECT_EQ(cache.MappedSize(), 0x40000u);
}

TEST_F(CacheFileTest, ARecordOneByteTooLongGrowsTheFileByExactlyOneStep)
{
    CatalogCache cache;
    ASSERT_EQ(cache.open(cachePath()), S_OK);
    const QString longName(2000, QLatin1Char('p'));
    // Fill until less than two long records fit.
    while (0x40000 - endOfRecords(cache) > 2 * (71 + 2 * 2000 + 200))
        ASSERT_EQ(cache.AppendRecord(other(QStringLiteral("/c/") + longName)), S_OK);
    // Records are odd in length; reach an even end so that "one byte beyond" can be hit.
    if (endOfRecords(cache) % 2 != 0) {
        ASSERT_EQ(cache.AppendRecord(other(QStringLiteral("/c/odd"))), S_OK);
    }
    const size_t free = 0x40000 - endOfRecords(cache);
    // 71 + 2n = free + 1.
    const qsizetype chars = qsizetype((free + 1 - 71) / 2);
    CacheRecord last = other(QString(chars, QLatin1Char('z')));
    ASSERT_EQ(last.byteLength(), free + 1);

    CacheRecord fits = other(QString(chars - 1, QLatin1Char('y')));
    ASSERT_EQ(cache.AppendRecord(fits), S_OK); // ends 1 byte before the end: no growth
    EXPECT_EQ(cache.MappedSize(), 0x40000u);
    ASSERT_EQ(cache.DeleteRecord(cache.FindRecordByPath(fits.path)), S_OK);

    ASSERT_EQ(cache.AppendRecord(last), S_OK);
    EXPECT_EQ(cache.MappedSize(), 0x80000u);
    EXPECT_EQ(QFileInfo(cachePath()).size(), 0x80000);
    EXPECT_EQ(u32(fileBytes(), 4), 0x80000u);

    // A record far larger than a step grows by the smallest multiple that holds it.
    ASSERT_EQ(cache.AppendRecord(other(QString(0x50000, QLatin1Char('q')))), S_OK);
    EXPECT_EQ(cache.MappedSize(), 0x80000u + 2 * 0x40000u); // ends about 0x60000 beyond 0x80000
}

TEST_F(CacheFileTest, NamesAndPathsCompareExactly)
{
    CatalogCache cache;
    ASSERT_EQ(cache.open(cachePath()), S_OK);
    EventShooterPresence before;
    auto append = [&](const char* path, const char* event, const char* shooter) {
        ASSERT_EQ(cache.AppendRecord(
                      document(QString::fromUtf8(path), QString::fromUtf8(event), QString::fromUtf8(shooter)), &before),
                  S_OK);
    };
    // Folders differing only in case are folders of their own, so each is new when it comes.
    append("/c/A.kavro", "Air Rifle", "Jörg");
    EXPECT_FALSE(before.event);
    EXPECT_FALSE(before.pair);
    append("/c/b.kavro", "AIR RIFLE", "Anna");
    EXPECT_FALSE(before.event);
    EXPECT_FALSE(before.pair);
    append("/c/c.kavro", "Air Rifle", "JÖRG");
    EXPECT_TRUE(before.event);
    EXPECT_FALSE(before.pair);
    append("/c/e.kavro", "Air Rifle", "Jörg");
    EXPECT_TRUE(before.pair);
    // Non-documents do not make events.
    CacheRecord notDocument = document(QStringLiteral("/c/d.txt"), QStringLiteral("Air Pistol"));
    notDocument.fileVersion = 0;
    ASSERT_EQ(cache.AppendRecord(notDocument), S_OK);
    EXPECT_EQ(cache.LiveNonDocuments(), 1u);
    EXPECT_FALSE(cache.FindEventShooterPair(QStringLiteral("Air Pistol"), QString()).event);

    EXPECT_NE(cache.FindRecordByPath(QStringLiteral("/c/A.kavro")), 0u);
    EXPECT_EQ(cache.FindRecordByPath(QStringLiteral("/c/a.kavro")), 0u);
    EXPECT_EQ(cache.FindRecordByPath(QStringLiteral("/c/A.kavr")), 0u);
    EXPECT_EQ(cache.RecordAt(cache.FindRecordByPath(QStringLiteral("/c/c.kavro"))).shooter, QStringLiteral("JÖRG"));
    EXPECT_EQ(cache.RecordAt(cache.FindRecordByPath(QStringLiteral("/c/b.kavro"))).event, QStringLiteral("AIR RIFLE"));

    ASSERT_EQ(cache.DeleteRecord(cache.FindRecordByPath(QStringLiteral("/c/A.kavro"))), S_OK);
    EXPECT_TRUE(cache.FindEventShooterPair(QStringLiteral("Air Rifle"), QStringLiteral("Jörg")).pair);
    ASSERT_EQ(cache.DeleteRecord(cache.FindRecordByPath(QStringLiteral("/c/e.kavro"))), S_OK);
    const auto left = cache.FindEventShooterPair(QStringLiteral("Air Rifle"), QStringLiteral("Jörg"));
    EXPECT_FALSE(left.pair);
    EXPECT_TRUE(left.event);
    EXPECT_TRUE(cache.FindEventShooterPair(QStringLiteral("Air Rifle"), QStringLiteral("JÖRG")).pair);
    // A deleted record cannot be deleted again.
    EXPECT_EQ(cache.DeleteRecord(64), E_INVALIDARG);
}

TEST_F(CacheFileTest, ReaderReadsWhatTheWriterWroteAndRefusesWhatIsOutOfOrder)
{
    CatalogCache cache;
    ASSERT_EQ(cache.open(cachePath()), S_OK);
    ASSERT_EQ(cache.AppendRecord(document(QStringLiteral("/c/1.kavro"))), S_OK);
    ASSERT_EQ(cache.AppendRecord(document(QStringLiteral("/c/2.kavro"), QStringLiteral("Air Pistol"))), S_OK);
    ASSERT_EQ(cache.AppendRecord(other(QStringLiteral("/c/3.txt"))), S_OK);
    ASSERT_EQ(cache.DeleteRecord(cache.FindRecordByPath(QStringLiteral("/c/1.kavro"))), S_OK);

    CatalogCacheReader reader;
    ASSERT_EQ(reader.open(), S_OK);
    CacheSnapshot snap;
    uint32_t counter = 0;
    ASSERT_EQ(reader.read(&snap, &counter, kInfinite), S_OK);
    EXPECT_EQ(counter, cache.changeCounter());
    ASSERT_EQ(snap.records.size(), 2u);
    EXPECT_EQ(snap.records[0].event, QStringLiteral("Air Pistol"));
    EXPECT_EQ(snap.records[1].state, kLiveNonDocument);
    EXPECT_EQ(snap.header.deleted, 1u);
    cache.close();

    const QByteArray good = fileBytes();
    auto parse = [](QByteArray b) {
        CacheSnapshot s;
        return parseCatalogCache(reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size()), &s);
    };
    ASSERT_EQ(parse(good), S_OK);
    auto patched = [&](size_t at, uint32_t v) {
        QByteArray b = good;
        putU32(reinterpret_cast<uint8_t*>(b.data()) + at, v);
        return parse(b);
    };
    const size_t second = 64 + 71 + 2 * (10 + 9 + 4); // the Air Pistol record
    EXPECT_EQ(parse(good.left(63)), kCacheCorrupted);
    EXPECT_EQ(parse(good.left(0x3FFFF)), kCacheCorrupted); // mapped size beyond the bytes
    EXPECT_EQ(patched(8, 2), kCacheCorrupted); // counts a record that is not there
    EXPECT_EQ(patched(8, 0xFFFFFFFF), kCacheCorrupted); // more records than bytes
    EXPECT_EQ(patched(8, 0), kCacheCorrupted); // a live record of a kind not counted
    EXPECT_EQ(patched(64 + 5, 0xFFFFFFF0), kCacheCorrupted); // length beyond the map
    EXPECT_EQ(patched(second + 49, 0x7FFFFFFF), kCacheCorrupted); // a text length beyond the map
    EXPECT_EQ(patched(second + 49, 9), kCacheCorrupted); // texts disagree with the length
    EXPECT_EQ(patched(second + 1, 0), kCacheCorrupted); // constant
    QByteArray state = good;
    state[qsizetype(second)] = 5;
    EXPECT_EQ(parse(state), kCacheCorrupted);
    QByteArray endMark = good;
    endMark[qsizetype(second + 71 + 2 * (10 + 10 + 4) - 2)] = 0;
    EXPECT_EQ(parse(endMark), kCacheCorrupted);
}

} // namespace
