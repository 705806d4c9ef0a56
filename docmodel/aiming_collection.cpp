#include "aiming_collection.h"

#include "aiming.h"
#include "com/classregistry.h"
#include "com/enumvariant.h"
#include "com/oledate.h"
#include "event_manager_access.h"
#include "locked_property.h"
#include "object_helpers.h"
#include "shot_collection.h"
#include "storage/stream/stream_forms.h"

#include <algorithm>
#include <new>
#include <utility>

namespace kavrodoc {

KAVRO_REGISTER_CLASS(CAimingCollection, ProgId_AimingCollection);

namespace {

// Class id and version of the smallest aiming: a count read from a stream is checked against it.
constexpr uint64_t kSmallestStoredAiming = 16 + 4;
// Aimings loaded are made in blocks of this many (with their parts): few allocations, and little
// memory kept by a part that outlives the rest of its block.
constexpr int32_t kAimingsPerBlock = 16;

ComPtr<IAimingAttr> attrOf(IAiming* aiming)
{
    ComPtr<IAimingAttr> attr;
    if (FAILED(aiming->get_Attr(attr.put())))
        attr = nullptr;
    return attr;
}

ComPtr<IEventParams> eventOf(IAiming* aiming)
{
    ComPtr<IEventParams> event;
    if (auto attr = attrOf(aiming); attr && FAILED(attr->get_Event(event.put())))
        event = nullptr;
    return event;
}

bool isMatch(IAiming* aiming)
{
    VARIANT_BOOL match = VARIANT_FALSE;
    auto attr = attrOf(aiming);
    return attr && SUCCEEDED(attr->get_Match(&match)) && match == VARIANT_TRUE;
}

QString missingEventMessage(const QString& shortName)
{
    return QStringLiteral("Missing shooting event ") + shortName
        + QStringLiteral(". Please install it and restart the program.");
}

} // namespace

CAimingCollection::CAimingCollection() : progress_(identity())
{
}

HRESULT CAimingCollection::get_Item(int32_t index, IAiming** out)
{
    Lock lock(mutex_);
    return copyItem(aimings_, index, out);
}

HRESULT CAimingCollection::get_Count(int32_t* out) KAVRO_LOCKED_GET(int32_t(aimings_.size()))

HRESULT CAimingCollection::get_Event(IEventParams** out)
{
    Lock lock(mutex_);
    return copyRequired(event_, out);
}

HRESULT CAimingCollection::put_Event(IEventParams* value)
{
    Lock lock(mutex_);
    return putRequired(&event_, value, &modified_);
}

HRESULT CAimingCollection::Shots(VARIANT_BOOL includeHidden, IShotCollection** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    Lock lock(mutex_);
    auto shots = CShotCollection::withEvent(event_.get());
    std::vector<ComPtr<IShot>> found;
    for (const auto& aiming : aimings_) {
        int32_t count = 0;
        if (FAILED(aiming->get_ShotCount(&count)))
            return E_FAIL;
        for (int32_t i = 1; i <= count; ++i) {
            ComPtr<IShot> shot;
            if (FAILED(aiming->Shot(i, shot.put())) || !shot)
                return E_FAIL;
            VARIANT_BOOL hidden = VARIANT_FALSE;
            shot->get_Hidden(&hidden);
            if (hidden == VARIANT_TRUE && includeHidden != VARIANT_TRUE)
                continue;
            found.push_back(std::move(shot));
        }
    }
    shots->appendAll(found);
    return queryOut(shots.get(), out);
}

HRESULT CAimingCollection::Add(IAiming* aiming)
{
    if (!aiming)
        return E_INVALIDARG;
    Lock lock(mutex_);
    return addLocked(aiming);
}

HRESULT CAimingCollection::addLocked(IAiming* aiming, size_t* leadingSighters)
{
    return placeLocked(ComPtr<IAiming>(aiming), eventOf(aiming).get(), isMatch(aiming), leadingSighters);
}

HRESULT CAimingCollection::placeLocked(ComPtr<IAiming> aiming, IEventParams* event, bool match, size_t* leadingSighters)
{
    if (event_ && !sameObject(event_.get(), event))
        return E_INVALIDARG;
    auto at = aimings_.end();
    if (leadingSighters) {
        if (!match)
            at = aimings_.begin() + ptrdiff_t((*leadingSighters)++);
    } else {
        for (const auto& held : aimings_) {
            if (sameObject(held.get(), aiming.get()))
                return S_OK;
        }
        if (!match) {
            at = aimings_.begin();
            while (at != aimings_.end() && !isMatch(at->get()))
                ++at;
        }
    }
    aimings_.insert(at, std::move(aiming));
    if (!event_)
        event_ = event;
    modified_ = true;
    return S_OK;
}

HRESULT CAimingCollection::part(bool match, ComPtr<CAimingCollection>* out)
{
    Lock lock(mutex_);
    auto part = create();
    part->event_ = event_;
    size_t sighters = 0;
    for (const auto& aiming : aimings_) {
        if (isMatch(aiming.get()) == match && FAILED(part->addLocked(aiming.get(), &sighters)))
            return E_FAIL;
    }
    part->modified_ = false;
    *out = std::move(part);
    return S_OK;
}

HRESULT CAimingCollection::partOut(bool match, IAimingCollection** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    ComPtr<CAimingCollection> collection;
    HRESULT hr = part(match, &collection);
    return FAILED(hr) ? hr : queryOut(collection.get(), out);
}

HRESULT CAimingCollection::Sighting(IAimingCollection** out)
{
    return partOut(false, out);
}

HRESULT CAimingCollection::Match(IAimingCollection** out)
{
    return partOut(true, out);
}

HRESULT CAimingCollection::matchPart(ComPtr<CAimingCollection>* out)
{
    return part(true, out);
}

HRESULT CAimingCollection::FindAiming(IShot* shot, IAiming** out)
{
    if (!shot || badInterfaceOut(out))
        return E_POINTER;
    Lock lock(mutex_);
    for (const auto& aiming : aimings_) {
        int32_t count = 0;
        if (FAILED(aiming->get_ShotCount(&count)))
            continue;
        for (int32_t i = 1; i <= count; ++i) {
            ComPtr<IShot> held;
            if (SUCCEEDED(aiming->Shot(i, held.put())) && sameObject(held.get(), shot))
                return aiming.copyTo(out);
        }
    }
    return S_OK;
}

HRESULT CAimingCollection::AddMissed(VARIANT_BOOL match, IAiming** out)
{
    if (badInterfaceOut(out))
        return E_POINTER;
    Lock lock(mutex_);
    if (!event_)
        return E_UNEXPECTED;
    auto aiming = CAiming::create();
    ComPtr<IAimingTrace> trace = aiming->trace();
    ComPtr<IAimingAttr> attr = aiming->attr();
    ComPtr<IShot> shot;
    if (FAILED(trace->put_ReadOnly(VARIANT_TRUE)) || FAILED(attr->put_SampleRate(200))
        || FAILED(attr->put_Event(event_.get())) || FAILED(attr->put_Match(toVariantBool(match == VARIANT_TRUE)))
        || FAILED(aiming->AddShot(VARIANT_TRUE, shot.put())))
        return E_FAIL;
    const DATE now = kavro::localNowAsDate();
    if (FAILED(shot->put_ShotTime(now)) || FAILED(attr->put_EnterTime(now)))
        return E_FAIL;
    HRESULT hr = addLocked(aiming.get());
    if (FAILED(hr))
        return hr;
    return queryOut(aiming.get(), out);
}

HRESULT CAimingCollection::get__NewEnum(IUnknown** out)
{
    Lock lock(mutex_);
    return enumerateObjects(aimings_, out);
}

HRESULT CAimingCollection::get_ReadErrorMsg(QString* out) KAVRO_LOCKED_GET(readErrorMsg_)

KAVRO_PERSIST_STREAM_INIT_BASICS(CAimingCollection, mutex_, modified_)

HRESULT CAimingCollection::InterfaceSupportsErrorInfo(const IID& iid)
{
    return supportsErrorInfo(iid, IAimingCollection::iid);
}

HRESULT CAimingCollection::FindConnectionPoint(const IID& iid, IConnectionPoint** out)
{
    return kavro::findConnectionPoint(iid, out, progress_);
}

CAimingCollection::ProgressRelay CAimingCollection::exchangeProgressRelay(ProgressRelay relay)
{
    Lock lock(mutex_);
    return std::exchange(relay_, std::move(relay));
}

// The relay hears each event first, as the subscriber that the holder advised first would.
void CAimingCollection::fireProgress(int32_t done, int32_t total)
{
    progress_.fire(
        [&] {
            if (relay_)
                relay_(done, total);
        },
        [&](_IAimingCollectionEvents* sink) { sink->Progress(done, total); });
}

HRESULT CAimingCollection::Save(IStream* stream, BOOL clearDirty)
{
    if (!stream)
        return E_POINTER;
    Lock lock(mutex_);
    QString shortName;
    if (HRESULT hr = storedEventName(event_, &shortName); FAILED(hr))
        return hr;
    const int32_t count = int32_t(aimings_.size());
    if (FAILED(kavro::writeValue<int32_t>(stream, kCurrentVersion)) || FAILED(kavro::writeValue(stream, count))
        || FAILED(kavro::writeBstr(stream, shortName)))
        return E_FAIL;
    for (int32_t i = 0; i < count; ++i) {
        fireProgress(i + 1, count);
        auto persist = aimings_[size_t(i)].query<IPersistStreamInit>();
        if (!persist)
            return E_FAIL;
        HRESULT hr = saveObjectForm(stream, persist.get(), clearDirty);
        if (FAILED(hr))
            return hr;
    }
    return endSave(S_OK, clearDirty, &modified_);
}

// A failed load leaves no aimings behind (never a part of a document) and keeps the event. Its
// message stands until the next failed load: the holder may ask for it after loading elsewhere, and
// a stale message of an earlier failure must not explain a later one.
HRESULT CAimingCollection::Load(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    Lock lock(mutex_);
    QString message;
    const HRESULT hr = loadLocked(stream, &message);
    if (FAILED(hr))
        readErrorMsg_ = message;
    return hr;
}

HRESULT CAimingCollection::loadLocked(IStream* stream, QString* message)
{
    aimings_.clear();

    int32_t version = 0, count = 0;
    QString shortName;
    if (FAILED(kavro::readVersion(stream, kCurrentVersion, &version)) || version < 1
        || FAILED(kavro::readValue(stream, &count)) || count < 0 || FAILED(kavro::readBstr(stream, &shortName)))
        return E_FAIL;

    const EventLookupScope lookups;
    ComPtr<IEventParams> found;
    if (FAILED(findInstalledEvent(events_.get(), shortName, &found))) {
        *message = missingEventMessage(shortName);
        return E_FAIL;
    }
    if (version == 1) {
        int32_t ignored = 0;
        if (FAILED(kavro::readValue(stream, &ignored)))
            return E_FAIL;
    }
    if (!kavro::fitsInStream(stream, uint64_t(count), kSmallestStoredAiming))
        return E_FAIL;

    ComPtr<IEventParams> previous = event_;
    event_ = found;
    size_t sighters = 0;
    try {
        aimings_.reserve(size_t(count));
    } catch (const std::bad_alloc&) {
        event_ = previous;
        return E_OUTOFMEMORY;
    }
    ObjectBlock::Held block;
    const size_t perAiming = CAiming::loadedBlockBytes();
    for (int32_t i = 0; i < count; ++i) {
        fireProgress(i + 1, count);
        if (!block || block->room() < perAiming)
            block = ObjectBlock::create(perAiming * size_t(std::min(count - i, kAimingsPerBlock)));
        auto aiming = ObjectBlock::make<CAiming>(block.get(), CAiming::kToBeLoaded);
        IEventParams* event = nullptr;
        bool match = true;
        HRESULT hr = loadUnsharedObjectForm(stream, aiming.get());
        if (SUCCEEDED(hr)) {
            aiming->placement(&event, &match);
            hr = placeLocked(moveAs<IAiming>(std::move(aiming)), event, match, &sighters);
        }
        if (FAILED(hr)) {
            aimings_.clear();
            event_ = previous;
            return hr == E_OUTOFMEMORY ? hr : E_FAIL;
        }
    }
    modified_ = false;
    return S_OK;
}

} // namespace kavrodoc
