#include "kavro_document.h"

#include "aiming_collection.h"
#include "com/classregistry.h"
#include "com/oledate.h"
#include "document_naming.h"
#include "load_budget.h"
#include "locked_property.h"
#include "object_helpers.h"
#include "raw_document_reader.h"
#include "storage/cfb/compound_file.h"
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"

#include <QFileInfo>

#include <algorithm>

namespace kavrodoc {

KAVRO_REGISTER_CLASS(CKavroDocument, ProgId_KavroDocument);

namespace {

const QString kContentsStream = QStringLiteral("Contents");
// Names tried by SaveUnique before it gives up: far more documents than one shooter shoots in a
// second, and a bound on a folder that refuses every name.
constexpr int kMostSuffixes = 100000;

// For the length of one save or load the document passes each Progress of its aiming collection
// on as its own. The document outlives that span, so a plain pointer back to it is safe.
class RelayScope {
public:
    RelayScope(CKavroDocument* document, CAimingCollection* aimings) : aimings_(aimings)
    {
        previous_ = aimings_->exchangeProgressRelay(
            [document](int32_t done, int32_t total) { document->fireProgress(done, total); });
    }
    RelayScope(const RelayScope&) = delete;
    RelayScope& operator=(const RelayScope&) = delete;
    ~RelayScope() { aimings_->exchangeProgressRelay(std::move(previous_)); }

private:
    CAimingCollection* aimings_;
    CAimingCollection::ProgressRelay previous_;
};

// What a failed load tells the user: what went wrong and what to do about it.
const QString kCannotOpenMessage
    = QStringLiteral("The file could not be opened. Check that it exists and that you are allowed to read it.");
const QString kNotADocumentMessage = QStringLiteral("The file is not a practice document, or it is damaged.");
const QString kNewerVersionMessage = QStringLiteral(
    "The document was saved by a newer version of the program. Please install that version to open it.");
const QString kDamagedMessage = QStringLiteral("The document is damaged and cannot be read.");
const QString kNoMemoryMessage
    = QStringLiteral("There is not enough memory to read the document. Close other programs and try again.");

bool canBeOpened(const QString& path)
{
    QByteArray head;
    return SUCCEEDED(readFileHead(path, 1, &head));
}

// The name is taken: SaveUnique tries the next one.
bool isFileExistsError(HRESULT hr)
{
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_EXISTS) || hr == HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
}

} // namespace

CKavroDocument::CKavroDocument() : progress_(identity())
{
    aimings_ = CAimingCollection::create();
    valid_ = true;
}

HRESULT CKavroDocument::get_Value(const QString& key, Variant* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    return values_.get(key, out);
}

HRESULT CKavroDocument::put_Value(const QString& key, const Variant& value)
{
    Lock lock(mutex_);
    return values_.put(key, value);
}

HRESULT CKavroDocument::putref_Value(const QString& key, const Variant& value)
{
    return put_Value(key, value);
}

bool CKavroDocument::validLocked()
{
    ComPtr<IEventParams> event;
    return valid_ && aimings_ && SUCCEEDED(aimings_->get_Event(event.put())) && event;
}

HRESULT CKavroDocument::get_Valid(VARIANT_BOOL* out)
{
    if (!out)
        return E_POINTER;
    Lock lock(mutex_);
    *out = toVariantBool(validLocked());
    return S_OK;
}

HRESULT CKavroDocument::get_ShooterName(QString* out) KAVRO_LOCKED_GET(shooterName_)

HRESULT CKavroDocument::put_ShooterName(const QString& value) KAVRO_LOCKED_PUT(shooterName_)

HRESULT CKavroDocument::get_FileName(QString* out) KAVRO_LOCKED_GET(fileName_)

HRESULT CKavroDocument::put_FileName(const QString& value) KAVRO_LOCKED_PUT(fileName_)

HRESULT CKavroDocument::get_Event(IEventParams** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    Lock lock(mutex_);
    if (!aimings_ || FAILED(aimings_->get_Event(out)) || !*out)
        return E_FAIL;
    return S_OK;
}

HRESULT CKavroDocument::put_Event(IEventParams* value)
{
    if (!value)
        return E_INVALIDARG;
    Lock lock(mutex_);
    if (!aimings_ || FAILED(aimings_->put_Event(value)))
        return E_FAIL;
    return S_OK;
}

HRESULT CKavroDocument::get_Aimings(IAimingCollection** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    Lock lock(mutex_);
    if (!aimings_)
        return E_FAIL;
    return ComPtr<IAimingCollection>(aimings_).copyTo(out);
}

HRESULT CKavroDocument::newCollection(IEventParams* event)
{
    auto fresh = CAimingCollection::create();
    if (!fresh)
        return E_OUTOFMEMORY;
    if (event && FAILED(fresh->put_Event(event)))
        return E_FAIL;
    aimings_ = fresh;
    return S_OK;
}

HRESULT CKavroDocument::Clear()
{
    Lock lock(mutex_);
    values_.clear();
    aimings_ = nullptr;
    shooterName_.clear();
    HRESULT hr = newCollection(nullptr);
    valid_ = SUCCEEDED(hr);
    return hr;
}

HRESULT CKavroDocument::ClearSightingShots()
{
    Lock lock(mutex_);
    if (!aimings_)
        return E_FAIL;
    ComPtr<CAimingCollection> match;
    HRESULT hr = aimings_->matchPart(&match);
    if (FAILED(hr))
        return hr;
    aimings_ = match;
    return S_OK;
}

HRESULT CKavroDocument::ClearShots()
{
    Lock lock(mutex_);
    ComPtr<IEventParams> event;
    if (aimings_ && FAILED(aimings_->get_Event(event.put())))
        event = nullptr;
    return newCollection(event.get());
}

HRESULT CKavroDocument::get_FileVersion(int32_t* out) KAVRO_LOCKED_GET(fileVersion_)

HRESULT CKavroDocument::get_ReadErrorMsg(QString* out) KAVRO_LOCKED_GET(readErrorMsg_)

HRESULT CKavroDocument::get_CatalogPath(QString* out)
{
    if (!out)
        return E_POINTER;
    *out = catalogPath();
    return S_OK;
}

HRESULT CKavroDocument::InterfaceSupportsErrorInfo(const IID& iid)
{
    return supportsErrorInfo(iid, IKavroDocument::iid);
}

HRESULT CKavroDocument::FindConnectionPoint(const IID& iid, IConnectionPoint** out)
{
    return kavro::findConnectionPoint(iid, out, progress_);
}

void CKavroDocument::fireProgress(int32_t done, int32_t total)
{
    progress_.fire([&](_IKavroDocumentEvents* sink) { sink->Progress(done, total); });
}

// ---------------------------------------------------------------------------------------------
// Writing

// The "Contents" stream: version, shooter, the aiming collection in object form, the bag.
HRESULT CKavroDocument::contentsBytes(QByteArray* out)
{
    if (!aimings_)
        return E_FAIL;
    auto persist = aimings_.query<IPersistStreamInit>();
    if (!persist)
        return E_FAIL;
    auto stream = kavro::MemoryStream::create();
    if (FAILED(kavro::writeValue<int32_t>(stream.get(), kCurrentVersion))
        || FAILED(kavro::writeBstr(stream.get(), shooterName_)))
        return E_FAIL;
    {
        RelayScope relay(this, aimings_.get());
        HRESULT hr = saveObjectForm(stream.get(), persist.get(), BOOL(1));
        if (FAILED(hr))
            return hr;
    }
    if (FAILED(values_.write(stream.get())))
        return E_FAIL;
    *out = stream->bytes();
    return S_OK;
}

// The writer writes the stream's bytes as they are, without a copy of the whole file first.
HRESULT CKavroDocument::documentFile(CompoundFileWriter* out)
{
    QByteArray contents;
    HRESULT hr = contentsBytes(&contents);
    if (FAILED(hr))
        return hr;
    out->setRootClassId(clsid);
    return FAILED(out->addStream(kContentsStream, contents)) ? E_FAIL : S_OK;
}

// The whole file is made in memory first and then replaces the old one in one step, so a failed
// or interrupted save leaves the previous document as it was. A read-only file is replaced too:
// the replacement does not write into it and keeps its permissions.
HRESULT CKavroDocument::Save()
{
    Lock lock(mutex_);
    if (fileName_.isEmpty())
        return E_INVALIDARG;
    CompoundFileWriter file;
    HRESULT hr = documentFile(&file);
    if (FAILED(hr))
        return hr;
    return file.writeFile(fileName_, WriteMode::Replace);
}

// ---------------------------------------------------------------------------------------------
// Naming

HRESULT CKavroDocument::uniqueNameParts(QString* name, QString* stamp)
{
    *name = QStringLiteral("Untitled");
    stamp->clear();
    if (!validLocked())
        return S_OK;
    if (!shooterName_.isEmpty()) {
        const QString cleaned = cleanShooterName(shooterName_);
        if (!cleaned.isEmpty())
            *name = cleaned;
    }
    ComPtr<IShotCollection> all, match;
    HRESULT hr = aimings_->Shots(VARIANT_TRUE, all.put());
    if (SUCCEEDED(hr))
        hr = all->Match(match.put());
    if (FAILED(hr))
        return hr;
    ComPtr<IShot> first;
    int32_t count = 0;
    if (SUCCEEDED(match->get_Count(&count)) && count > 0)
        match->get_Item(1, first.put());
    else if (SUCCEEDED(all->get_Count(&count)) && count > 0)
        all->get_Item(1, first.put());
    DATE when = 0;
    ComPtr<IAimingAttr> attr;
    if (!first || FAILED(first->get_Attr(attr.put())) || !attr || FAILED(attr->get_EnterTime(&when)))
        when = kavro::localNowAsDate();
    // A time outside the calendar cannot name a file; the time of saving does instead.
    if (!formatTimeStamp(when, stamp))
        formatTimeStamp(kavro::localNowAsDate(), stamp);
    return S_OK;
}

HRESULT CKavroDocument::SaveUnique(const QString& folder)
{
    if (folder.isEmpty())
        return E_INVALIDARG;
    Lock lock(mutex_);
    const QString dir = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    QString name, stamp;
    HRESULT hr = uniqueNameParts(&name, &stamp);
    if (FAILED(hr))
        return hr;
    CompoundFileWriter file;
    hr = documentFile(&file);
    if (FAILED(hr))
        return hr;
    for (int suffix = 0; suffix < kMostSuffixes; ++suffix) {
        const QString path = uniqueDocumentPath(dir, name, stamp, suffix);
        hr = file.writeFile(path, WriteMode::CreateNew);
        if (isFileExistsError(hr))
            continue;
        if (SUCCEEDED(hr))
            fileName_ = path;
        return hr;
    }
    return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
}

// ---------------------------------------------------------------------------------------------
// Reading

HRESULT CKavroDocument::Load()
{
    Lock lock(mutex_);
    valid_ = false;
    HRESULT hr = Clear();
    if (FAILED(hr))
        return hr;
    valid_ = false;

    // The file is read once: its bytes tell its kind and its size.
    QByteArray bytes;
    const HRESULT read = readWholeFile(fileName_, &bytes, CompoundFileReader::kMaxFileBytes);
    const bool compound = SUCCEEDED(read) ? hasCompoundFileSignature(bytes) : isCompoundFile(fileName_);
    // Whatever the file claims, its samples may take no more memory than its size allows.
    const LoadBudget budget(SUCCEEDED(read) ? uint64_t(bytes.size())
                                            : uint64_t(std::max<qint64>(QFileInfo(fileName_).size(), 0)));
    QString message;
    hr = compound ? loadCompoundFile(read, std::move(bytes), &message) : loadRawFile(&message);
    valid_ = SUCCEEDED(hr);
    // Every failure leaves the user a message; a success keeps that of the last failure.
    if (FAILED(hr))
        readErrorMsg_ = message;
    return hr;
}

HRESULT CKavroDocument::loadRawFile(QString* message)
{
    RawDocumentSink sink;
    sink.aimings = aimings_.get();
    sink.shooterName = &shooterName_;
    sink.fileVersion = &fileVersion_;
    sink.values = &values_;
    sink.events = events_.get();
    sink.progress = [this](int32_t done, int32_t total) { fireProgress(done, total); };
    const HRESULT hr = readRawDocument(fileName_, sink);
    if (FAILED(hr))
        *message = canBeOpened(fileName_) ? kNotADocumentMessage : kCannotOpenMessage;
    return hr;
}

HRESULT CKavroDocument::loadCompoundFile(HRESULT read, QByteArray bytes, QString* message)
{
    CompoundFileReader reader;
    QByteArray contents;
    const HRESULT opened = SUCCEEDED(read) ? CompoundFileReader::fromBytes(std::move(bytes), &reader)
                                           : CompoundFileReader::open(fileName_, &reader);
    if (opened == E_OUTOFMEMORY) {
        *message = kNoMemoryMessage;
        return E_FAIL;
    }
    if (FAILED(opened) || reader.rootClassId() != clsid || FAILED(reader.takeStream(kContentsStream, &contents))) {
        *message = canBeOpened(fileName_) ? kNotADocumentMessage : kCannotOpenMessage;
        return E_FAIL;
    }
    return loadContents(contents, message);
}

// Shooter and bag take effect only with the whole stream read; the collection empties itself when
// it fails.
HRESULT CKavroDocument::loadContents(const QByteArray& contents, QString* message)
{
    *message = kDamagedMessage;
    auto stream = kavro::MemoryStream::create(contents);
    int32_t version = 0;
    if (FAILED(kavro::readValue(stream.get(), &version)))
        return E_FAIL;
    fileVersion_ = version;
    if (version > kCurrentVersion) {
        *message = kNewerVersionMessage;
        return E_FAIL;
    }
    QString shooter;
    Guid collectionClass;
    if (version < 1 || FAILED(kavro::readBstr(stream.get(), &shooter))
        || FAILED(kavro::readGuid(stream.get(), &collectionClass)))
        return E_FAIL;
    auto persist = aimings_.query<IPersistStreamInit>();
    if (!persist)
        return E_FAIL;
    {
        RelayScope relay(this, aimings_.get());
        const HRESULT hr = persist->Load(stream.get());
        if (FAILED(hr)) {
            QString collectionMessage;
            aimings_->get_ReadErrorMsg(&collectionMessage);
            if (!collectionMessage.isEmpty())
                *message = collectionMessage;
            else if (hr == E_OUTOFMEMORY)
                *message = kNoMemoryMessage;
            return E_FAIL;
        }
    }
    kavro::ValueBag values;
    if (version >= 2 && FAILED(values.read(stream.get())))
        return E_FAIL;
    shooterName_ = shooter;
    values_ = std::move(values);
    return S_OK;
}

} // namespace kavrodoc
