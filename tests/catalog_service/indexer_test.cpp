// The rescan over a catalog folder of saved practices, in this process.
#include "support/catalog_env.h"
#include "cache_reader.h"
#include "catalog_indexer.h"
#include "catalog_notice.h"
#include "support/document_fixture.h"
#include "support/practice_maker.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include "com/classregistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kavro;
using namespace kavro::catalog;
using cattest::PracticeSpec;

namespace {

struct Notice {
    uint32_t event;
    QStringList path;
    bool operator==(const Notice&) const = default;
};

void PrintTo(const Notice& n, std::ostream* os)
{
    *os << n.event << ":" << n.path.join(QLatin1Char('|')).toStdString();
}

class IndexerTest : public cattest::CatalogEnvTest {
protected:
    void SetUp() override
    {
        CatalogEnvTest::SetUp();
        ASSERT_EQ(cache_.open(cachePath()), S_OK);
        indexer_ = std::make_unique<CatalogIndexer>(cache_, catalogPath(), &stop_);
        indexer_->setNoticeSink([this](uint32_t e, const QStringList& p) { notices_.push_back({e, p}); });
    }

    QString save(const QString& name, const PracticeSpec& spec)
    {
        const QString path = catalogPath() + name;
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(cattest::savePractice(spec, path)) << name.toStdString();
        return path;
    }
    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(catalogPath() + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    CacheRecord record(const QString& path) const
    {
        const size_t at = cache_.FindRecordByPath(path);
        EXPECT_NE(at, 0u) << path.toStdString();
        return at ? cache_.RecordAt(at) : CacheRecord();
    }
    std::vector<Notice> takeNotices() { return std::exchange(notices_, {}); }

    CatalogCache cache_;
    ManualEvent stop_;
    std::unique_ptr<CatalogIndexer> indexer_;
    std::vector<Notice> notices_;
};

QString eventName(const char* shortName)
{
    QString name;
    doctest::event(shortName)->get_Name(&name);
    return name;
}

TEST_F(IndexerTest, PracticesAreIndexedWithTheirFieldsAndNotices)
{
    const QString rifle = eventName("AR10"), pistol = eventName("AP10");
    PracticeSpec anna = cattest::practice("AR10", QStringLiteral("Anna"));
    anna.comments = QStringLiteral("gusty");
    anna.position = QStringLiteral("standing");
    const QString a1 = save(QStringLiteral("a1.kavro"), anna);
    const QString a2 = save(QStringLiteral("sub/a2.kavro"), cattest::practice("AR10", QStringLiteral("ANNA"), 2, 0));
    const QString b = save(QStringLiteral("b.kavro"), cattest::practice("AP10", QStringLiteral("Bob"), 0, 2));
    const QString u = save(QStringLiteral("u.kavro"), cattest::practice("AP10", QString(), 1, 0));
    writeFile(QStringLiteral("notes.txt"), "not a practice");
    writeFile(QStringLiteral(".hidden.kavro"), "skipped");
    writeFile(QStringLiteral("truncated.kavro"), cattest::fileHead(a1, 1000));

    indexer_->Rescan();
    EXPECT_EQ(cache_.LiveDocuments(), 4u);
    EXPECT_EQ(cache_.LiveNonDocuments(), 2u); // the text file and the truncated document
    EXPECT_EQ(cache_.FindRecordByPath(catalogPath() + QStringLiteral(".hidden.kavro")), 0u);

    const CacheRecord r = record(a1);
    auto doc = cattest::makePractice(anna);
    const cattest::PracticeSums sums = cattest::matchSums(doc.get());
    EXPECT_EQ(r.state, kLiveDocument);
    EXPECT_EQ(r.event, rifle);
    EXPECT_EQ(r.shooter, QStringLiteral("Anna"));
    EXPECT_EQ(r.comments, QStringLiteral("gusty"));
    EXPECT_EQ(r.position, QStringLiteral("standing"));
    EXPECT_EQ(r.shotCount, 3);
    EXPECT_EQ(r.shotCount, sums.shots);
    EXPECT_EQ(r.resultSum, sums.truncatedSum);
    EXPECT_EQ(r.decimalSum, sums.decimalSum);
    EXPECT_GT(r.decimalSum, float(r.resultSum)); // decimals are kept apart from the truncated sum
    // The first match aiming follows the one sighting aiming.
    EXPECT_DOUBLE_EQ(r.date, anna.enterTime + 1 / 1440.0);
    EXPECT_EQ(r.fCoefficient, 121);
    EXPECT_GE(r.fileVersion, 1);
    EXPECT_EQ(r.fileSize, uint32_t(QFileInfo(a1).size()));
    struct stat st { };
    ::stat(QFile::encodeName(a1).constData(), &st);
    EXPECT_EQ(r.writeTime, fileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec));

    // Without match shots the date and F-coefficient come from the first sighting shot.
    const CacheRecord rb = record(b);
    EXPECT_EQ(rb.shotCount, 0);
    EXPECT_DOUBLE_EQ(rb.date, 45123.375);
    EXPECT_EQ(rb.fCoefficient, 40);
    EXPECT_EQ(record(u).shooter, QStringLiteral("Unknown"));
    EXPECT_EQ(record(a2).shooter, QStringLiteral("ANNA"));

    const CacheRecord text = record(catalogPath() + QStringLiteral("notes.txt"));
    EXPECT_EQ(text.state, kLiveNonDocument);
    EXPECT_EQ(text.fileVersion, 0);
    EXPECT_TRUE(text.event.isEmpty() && text.shooter.isEmpty());

    // Files first, then folders; one folder notice per new event and shooter (names compare
    // exactly: "ANNA" is a folder beside "Anna"), a create for each further document of a known
    // pair; none for others.
    std::vector<Notice> expected;
    std::vector<Notice> got = takeNotices();
    auto count = [&](uint32_t e, QStringList p) { return std::count(got.begin(), got.end(), Notice{e, p}); };
    EXPECT_EQ(count(SHCNE_MKDIR, {rifle}), 1);
    EXPECT_EQ(count(SHCNE_MKDIR, {pistol}), 1);
    EXPECT_EQ(count(SHCNE_MKDIR, {rifle, QStringLiteral("Anna")}), 1);
    EXPECT_EQ(count(SHCNE_MKDIR, {rifle, QStringLiteral("ANNA")}), 1);
    EXPECT_EQ(count(SHCNE_MKDIR, {pistol, QStringLiteral("Bob")}), 1);
    EXPECT_EQ(count(SHCNE_MKDIR, {pistol, QStringLiteral("Unknown")}), 1);
    EXPECT_EQ(got.size(), 6u);

    // A rescan with nothing changed changes nothing.
    const uint32_t counter = cache_.changeCounter();
    indexer_->Rescan();
    EXPECT_EQ(cache_.changeCounter(), counter);
    EXPECT_TRUE(takeNotices().empty());
}

TEST_F(IndexerTest, ChangedAndVanishedFilesUpdateTheCache)
{
    const QString rifle = eventName("AR10"), pistol = eventName("AP10");
    const QString a1 = save(QStringLiteral("a1.kavro"), cattest::practice("AR10", QStringLiteral("Anna")));
    const QString a2 = save(QStringLiteral("a2.kavro"), cattest::practice("AR10", QStringLiteral("Anna"), 5));
    const QString c = save(QStringLiteral("c.kavro"), cattest::practice("AR10", QStringLiteral("Cleo")));
    const QString b = save(QStringLiteral("b.kavro"), cattest::practice("AP10", QStringLiteral("Bob")));
    indexer_->Rescan();
    takeNotices();

    // Touching a document re-reads it: its record is deleted and a new one appended, quietly
    // when the shooter stays known.
    const size_t before = cache_.FindRecordByPath(a1);
    struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(a1).constData(), times, 0);
    indexer_->Rescan();
    EXPECT_EQ(cache_.DeletedRecords(), 1u);
    EXPECT_EQ(record(a1).writeTime, fileTimeFromUnix(12345, 0));
    EXPECT_NE(before, 0u);
    EXPECT_EQ(cache_.LiveDocuments(), 4u);
    EXPECT_EQ(takeNotices(), (std::vector<Notice>{{SHCNE_CREATE, {rifle, QStringLiteral("Anna"), a1}}}));

    // One of two documents of a shooter: the document goes.
    QFile::remove(a2);
    indexer_->Rescan();
    EXPECT_EQ(takeNotices(), (std::vector<Notice>{{SHCNE_DELETE, {rifle, QStringLiteral("Anna"), a2}}}));
    // The last document of a shooter: the shooter folder goes, the event stays.
    QFile::remove(c);
    indexer_->Rescan();
    EXPECT_EQ(takeNotices(), (std::vector<Notice>{{SHCNE_RMDIR, {rifle, QStringLiteral("Cleo")}}}));
    // The last document of an event: the shooter and the event folder go.
    QFile::remove(b);
    indexer_->Rescan();
    EXPECT_EQ(takeNotices(),
              (std::vector<Notice>{{SHCNE_RMDIR, {pistol, QStringLiteral("Bob")}}, {SHCNE_RMDIR, {pistol}}}));
    EXPECT_EQ(cache_.LiveDocuments(), 1u);

    // A non-document that vanishes leaves quietly.
    writeFile(QStringLiteral("x.bin"), "x");
    indexer_->Rescan();
    QFile::remove(catalogPath() + QStringLiteral("x.bin"));
    indexer_->Rescan();
    EXPECT_TRUE(takeNotices().empty());
    EXPECT_EQ(cache_.LiveNonDocuments(), 0u);
}

TEST_F(IndexerTest, UnreadableNamesAndFilesNeverStopTheScan)
{
    // A name that is not UTF-8 cannot be held in the cache's texts: it is skipped.
    const QByteArray bad = QFile::encodeName(catalogPath()) + "bad\xff.kavro";
    {
        const int fd = ::open(bad.constData(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    ::mkfifo(QFile::encodeName(catalogPath() + QStringLiteral("pipe")).constData(), 0600);
    QDir().mkpath(catalogPath() + QStringLiteral("empty"));
    QFile::link(catalogPath(), catalogPath() + QStringLiteral("loop")); // a link to a folder: not walked
    writeFile(QStringLiteral("zero.kavro"), QByteArray());
    const QString good = save(QStringLiteral("z/good.kavro"), cattest::practice("AR10", QStringLiteral("Anna")));

    indexer_->Rescan();
    EXPECT_EQ(cache_.LiveDocuments(), 1u);
    EXPECT_NE(cache_.FindRecordByPath(good), 0u);
    // The empty file is there, as a non-document; the pipe and the folder link are not files.
    EXPECT_EQ(cache_.LiveNonDocuments(), 1u);
    EXPECT_EQ(record(catalogPath() + QStringLiteral("zero.kavro")).state, kLiveNonDocument);
    ::unlink(bad.constData()); // Qt cannot name it to remove the folder
}

// A folder of more files than one cache write takes: every file gets its record and its notice,
// and readers are never kept waiting while documents are read.
TEST_F(IndexerTest, ManyFilesAreWrittenInTurnsThatNeverHoldReadersWhileDocumentsAreRead)
{
    const QString rifle = eventName("AR10");
    const QString first = save(QStringLiteral("p000.kavro"), cattest::practice("AR10", QStringLiteral("Anna")));
    const int files = 2 * int(CatalogIndexer::kRecordsPerWrite) + 5;
    QStringList paths{first};
    for (int i = 1; i < files; ++i) {
        paths << catalogPath() + QStringLiteral("p%1.kavro").arg(i, 3, 10, QLatin1Char('0'));
        ASSERT_TRUE(QFile::copy(first, paths.back()));
    }
    CatalogCacheReader reader;
    ASSERT_EQ(reader.open(), S_OK);
    int blocked = 0;
    indexer_->setDocumentFactory([&](ComPtr<IKavroDocument>* out) {
        CacheSnapshot snapshot;
        if (FAILED(reader.read(&snapshot, nullptr, 0)))
            ++blocked;
        return createInstance(kavrodoc::CLSID_KavroDocument, out);
    });
    indexer_->Rescan();
    EXPECT_EQ(blocked, 0);
    EXPECT_EQ(cache_.LiveDocuments(), uint32_t(files));
    QStringList created;
    for (const Notice& n : takeNotices())
        if (n.event == SHCNE_CREATE && n.path.size() == 3 && n.path[0] == rifle && n.path[1] == QStringLiteral("Anna"))
            created << n.path[2];
    // The first document makes the folders; each further one is announced by its own path.
    created.sort();
    EXPECT_EQ(created.size(), files - 1);
    EXPECT_EQ(QSet<QString>(created.begin(), created.end()).size(), files - 1);
    for (const QString& path : created)
        EXPECT_NE(cache_.FindRecordByPath(path), 0u) << path.toStdString();
}

TEST_F(IndexerTest, StopEndsTheRescanAtOnce)
{
    for (int i = 0; i < 3; ++i)
        writeFile(QStringLiteral("f%1").arg(i), "x");
    int seen = 0;
    indexer_->setDocumentFactory([&](ComPtr<IKavroDocument>* out) {
        if (++seen == 2)
            stop_.set(); // asked to stop while reading the second file
        return createInstance(kavrodoc::CLSID_KavroDocument, out);
    });
    indexer_->Rescan();
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(cache_.LiveNonDocuments(), 2u);
}

TEST_F(IndexerTest, TrayTipCountsDocuments)
{
    EXPECT_EQ(trayTip(TrayState::Idle, 3), QStringLiteral("Kavro catalog - 3 file(s)"));
    EXPECT_EQ(trayTip(TrayState::Scanning, 0), QStringLiteral("Kavro catalog busy - 0 file(s)"));
    EXPECT_EQ(trayTip(TrayState::ChangeSeen, 12), QStringLiteral("Kavro catalog busy - 12 file(s)"));

    std::vector<std::pair<TrayState, uint32_t>> states;
    indexer_->setStatusSink([&](TrayState s, uint32_t n) { states.emplace_back(s, n); });
    save(QStringLiteral("a.kavro"), cattest::practice("AR10", QStringLiteral("Anna")));
    indexer_->Rescan();
    ASSERT_GE(states.size(), 3u);
    EXPECT_EQ(states.front(), std::make_pair(TrayState::Scanning, 0u));
    EXPECT_EQ(states[states.size() - 2], std::make_pair(TrayState::Scanning, 1u)); // after the append
    EXPECT_EQ(states.back(), std::make_pair(TrayState::Idle, 1u));
}

} // namespace
