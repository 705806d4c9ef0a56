#include "catalog_indexer.h"

#include "catalog_notice.h"
#include "com/classregistry.h"
#include "com/numeric.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <cerrno>
#include <memory>
#include <optional>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace kavro::catalog {
namespace {

bool isHidden(const char* name)
{
    return name[0] == '.';
}

// The last-write time as a file time; the creation time when the write time is 0.
uint64_t writeTimeOf(const QByteArray& native, const struct stat& st)
{
    uint64_t t = st.st_mtim.tv_sec || st.st_mtim.tv_nsec ? fileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec) : 0;
    if (t == 0) {
        struct statx sx { };
        if (::statx(AT_FDCWD, native.constData(), 0, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME))
            t = fileTimeFromUnix(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
    }
    return t;
}

// Whether files still exist, from one listing per folder taken when the pass first needs it:
// far cheaper than a look-up per file in a catalog of thousands.
class ExistenceCheck {
public:
    bool vanished(const QString& path)
    {
        const QByteArray native = QFile::encodeName(path);
        const qsizetype slash = native.lastIndexOf('/');
        const QByteArray folder = slash > 0 ? native.left(slash) : QByteArray("/");
        auto it = listings_.find(folder);
        if (it == listings_.end())
            it = listings_.insert(folder, list(folder));
        return !it->contains(native.mid(slash + 1));
    }

private:
    static QSet<QByteArray> list(const QByteArray& folder)
    {
        QSet<QByteArray> names;
        if (DIR* dir = ::opendir(folder.constData())) {
            while (const dirent* entry = ::readdir(dir))
                names.insert(QByteArray(entry->d_name));
            ::closedir(dir);
        }
        return names;
    }

    QHash<QByteArray, QSet<QByteArray>> listings_;
};

QString stringValue(const Variant& v)
{
    return v.vt() == VT_BSTR ? v.bstr() : QString();
}

// The match or sighting shots of a collection without hidden ones, taken from `visible` (all of
// them): the same shots in the same order as those of the collection's match or sighting part,
// without building that part.
ComPtr<IShotCollection> visibleShots(IShotCollection* visible, bool match)
{
    ComPtr<IShotCollection> shots;
    if (!visible || FAILED(match ? visible->Match(shots.put()) : visible->Sighting(shots.put())))
        return nullptr;
    return shots;
}

// EnterTime and FCoefficient of the first shot's aiming; false when there is no shot.
bool firstShotAttr(IShotCollection* shots, DATE* date, int32_t* fCoefficient)
{
    int32_t count = 0;
    ComPtr<IShot> shot;
    ComPtr<IAimingAttr> attr;
    if (!shots || FAILED(shots->get_Count(&count)) || count < 1 || FAILED(shots->get_Item(1, shot.put())) || !shot
        || FAILED(shot->get_Attr(attr.put())) || !attr)
        return false;
    attr->get_EnterTime(date);
    attr->get_FCoefficient(fCoefficient);
    return true;
}

} // namespace

QString trayTip(TrayState state, uint32_t liveDocuments)
{
    return QStringLiteral("Kavro catalog%1 - %2 file(s)")
        .arg(state == TrayState::Idle ? QString() : QStringLiteral(" busy"))
        .arg(static_cast<int32_t>(liveDocuments));
}

CatalogIndexer::CatalogIndexer(CatalogCache& cache, QString folder, const ManualEvent* stop)
    : cache_(cache), folder_(std::move(folder)), stop_(stop)
{
    if (!folder_.endsWith(QLatin1Char('/')))
        folder_ += QLatin1Char('/');
    factory_ = [](ComPtr<IKavroDocument>* out) { return createInstance(kavrodoc::CLSID_KavroDocument, out); };
    notices_ = [sender = std::make_shared<CatalogNoticeSender>()](uint32_t event, const QStringList& path) {
        sender->send(event, path);
    };
    createInstance(kavrodoc::CLSID_EventManager, &events_);
}

void CatalogIndexer::showState(TrayState state)
{
    state_ = state;
    if (status_)
        status_(state, cache_.LiveDocuments());
}

void CatalogIndexer::notify(uint32_t event, const QStringList& path)
{
    if (notices_)
        notices_(event, path);
}

void CatalogIndexer::Rescan()
{
    showState(TrayState::Scanning);
    if (stopped())
        return;
    ++rescans_;
    dropVanishedRecords();
    if (stopped())
        return;
    walk(QFile::encodeName(folder_));
    if (!stopped())
        showState(TrayState::Idle);
}

void CatalogIndexer::dropVanishedRecords()
{
    // Deleting never moves records, so the offsets stay valid through this loop.
    ExistenceCheck files;
    for (size_t offset : cache_.LiveRecordOffsets()) {
        if (stopped())
            return;
        if (!files.vanished(cache_.RecordPath(offset)))
            continue;
        const CacheRecord r = cache_.RecordAt(offset);
        if (FAILED(cache_.DeleteRecord(offset)))
            continue;
        if (r.isDocument()) {
            const EventShooterPresence left = cache_.FindEventShooterPair(r.event, r.shooter);
            if (left.pair) {
                notify(SHCNE_DELETE, {r.event, r.shooter, r.path});
            } else {
                notify(SHCNE_RMDIR, {r.event, r.shooter});
                if (!left.event)
                    notify(SHCNE_RMDIR, {r.event});
            }
        }
        showState(state_);
    }
}

void CatalogIndexer::walk(const QByteArray& folder)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    std::vector<std::pair<QByteArray, struct stat>> files;
    std::vector<QByteArray> folders;
    while (const dirent* entry = ::readdir(dir)) {
        if (isHidden(entry->d_name))
            continue;
        struct stat st { };
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        // Folders are walked only as themselves: a link to a folder could make the walk endless.
        if (S_ISDIR(st.st_mode))
            folders.emplace_back(entry->d_name);
        else
            files.emplace_back(entry->d_name, st);
    }
    ::closedir(dir);
    auto utf8Name = [](const QByteArray& name, QString* out) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        *out = decoder.decode(name);
        if (decoder.hasError()) {
            qWarning("kavrocls: skipped a file name that is not UTF-8: %s", name.toPercentEncoding("/ ").constData());
            return false;
        }
        return true;
    };
    std::vector<CacheRecord> read;
    for (const auto& [name, st] : files) {
        if (stopped())
            break;
        QString text;
        if (!utf8Name(folder + name, &text))
            continue;
        if (std::optional<CacheRecord> r = readIfChanged(text, S_ISLNK(st.st_mode) ? nullptr : &st)) {
            read.push_back(std::move(*r));
            if (read.size() == kRecordsPerWrite)
                addRecords(&read);
        }
    }
    // What was read before a stop is kept: it need not be read again.
    addRecords(&read);
    if (stopped())
        return;
    for (const QByteArray& name : folders) {
        if (stopped())
            return;
        QString text;
        if (utf8Name(folder + name, &text))
            walk(folder + name + '/');
    }
}

void CatalogIndexer::IndexFile(const QString& path, const struct stat* known)
{
    std::vector<CacheRecord> read;
    if (std::optional<CacheRecord> r = readIfChanged(path, known)) {
        read.push_back(std::move(*r));
        addRecords(&read);
    }
}

std::optional<CacheRecord> CatalogIndexer::readIfChanged(const QString& path, const struct stat* known)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st { };
    if (known)
        st = *known;
    else if (::stat(native.constData(), &st) != 0)
        return std::nullopt;
    // Only regular files (also through a link): a pipe or a device would block or never end.
    if (!S_ISREG(st.st_mode))
        return std::nullopt;
    const uint64_t writeTime = writeTimeOf(native, st);
    const uint32_t fileSize = static_cast<uint32_t>(st.st_size);
    if (const size_t existing = cache_.FindRecordByPath(path)) {
        if (cache_.RecordStamp(existing) == std::make_pair(writeTime, fileSize))
            return std::nullopt;
        cache_.DeleteRecord(existing);
    }
    CacheRecord r = ReadDocument(path);
    r.fileSize = fileSize;
    r.writeTime = writeTime;
    return r;
}

void CatalogIndexer::addRecords(std::vector<CacheRecord>* records)
{
    if (records->empty())
        return;
    std::vector<EventShooterPresence> before(records->size());
    std::vector<HRESULT> added(records->size());
    {
        // One hold of the writer side for the lot: taking it costs more than writing a record.
        CatalogCache::WriteBatch batch(cache_);
        for (size_t i = 0; i < records->size(); ++i)
            added[i] = cache_.AppendRecord((*records)[i], &before[i]);
    }
    for (size_t i = 0; i < records->size(); ++i) {
        const CacheRecord& r = (*records)[i];
        if (FAILED(added[i])) {
            qWarning("kavrocls: could not add %s to the catalog cache (error 0x%08X)",
                     QFile::encodeName(r.path).constData(), static_cast<unsigned>(added[i]));
            continue;
        }
        if (r.fileVersion >= 1) {
            if (!before[i].event)
                notify(SHCNE_MKDIR, {r.event});
            if (before[i].pair)
                notify(SHCNE_CREATE, {r.event, r.shooter, r.path});
            else
                notify(SHCNE_MKDIR, {r.event, r.shooter});
        }
        showState(state_);
    }
    records->clear();
}

CacheRecord CatalogIndexer::ReadDocument(const QString& path)
{
    CacheRecord none;
    none.path = path;
    ComPtr<IKavroDocument> doc;
    VARIANT_BOOL valid = VARIANT_FALSE;
    if (!factory_ || FAILED(factory_(&doc)) || !doc || FAILED(doc->put_FileName(path)) || FAILED(doc->Load())
        || FAILED(doc->get_Valid(&valid)) || valid != VARIANT_TRUE)
        return none;
    ComPtr<IEventParams> event;
    ComPtr<IAimingCollection> aimings;
    if (FAILED(doc->get_Event(event.put())) || !event || FAILED(doc->get_Aimings(aimings.put())) || !aimings)
        return none;
    CacheRecord r;
    r.path = path;
    event->get_Name(&r.event);
    if (r.event.isEmpty())
        event->get_ShortName(&r.event);
    doc->get_ShooterName(&r.shooter);
    if (r.shooter.isEmpty())
        r.shooter = QStringLiteral("Unknown");
    Variant v;
    if (SUCCEEDED(doc->get_Value(QStringLiteral("_comments"), &v)))
        r.comments = stringValue(v);
    if (SUCCEEDED(doc->get_Value(QStringLiteral("_position"), &v)))
        r.position = stringValue(v);

    ComPtr<IShotCollection> visible;
    if (FAILED(aimings->Shots(VARIANT_FALSE, visible.put())))
        visible = nullptr;
    const ComPtr<IShotCollection> match = visibleShots(visible.get(), true);
    int32_t count = 0;
    if (match && SUCCEEDED(match->get_Count(&count))) {
        for (int32_t i = 1; i <= count; ++i) {
            ComPtr<IShot> shot;
            float result = 0;
            if (FAILED(match->get_Item(i, shot.put())) || !shot || FAILED(shot->get_Result(&result)))
                continue;
            r.decimalSum += result;
            r.resultSum += truncSaturated(result);
        }
        r.shotCount = count;
    }
    if (!firstShotAttr(match.get(), &r.date, &r.fCoefficient) || r.date == 0)
        firstShotAttr(visibleShots(visible.get(), false).get(), &r.date, &r.fCoefficient);
    doc->get_FileVersion(&r.fileVersion);
    return r;
}

} // namespace kavro::catalog
