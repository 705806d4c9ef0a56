#include "event_manager.h"

#include "event_file.h"
#include "event_params.h"
#include "locked_property.h"
#include "module_folder.h"
#include "object_helpers.h"
#include "com/classregistry.h"
#include "com/enumvariant.h"
#include "storage/stream/memory_stream.h"
#include "storage/stream/stream_forms.h"

#include <QDir>

namespace kavrodoc {

KAVRO_REGISTER_CLASS(CEventManager, ProgId_EventManager);

namespace {
// Guards the one live instance: a release that drops the last reference and a creation that
// would revive it must not interleave.
std::recursive_mutex& instanceLock()
{
    static std::recursive_mutex lock;
    return lock;
}
CEventManager* instance = nullptr;
const QString kSynonym = QStringLiteral("synonym");

// One event definition file, or null when the file is not one.
ComPtr<IEventParams> loadEventFile(const QString& path)
{
    Guid stamp;
    QByteArray contents;
    if (FAILED(readEventFile(path, &stamp, &contents)))
        return nullptr;
    auto stream = kavro::MemoryStream::create(contents);
    Guid id;
    if (FAILED(kavro::readGuid(stream.get(), &id)) || id != CLSID_EventParams)
        return nullptr;
    ComPtr<IEventParams> event = CEventParams::create();
    if (FAILED(kavro::readObjectInto(stream.get(), event.get())))
        return nullptr;
    return event;
}
} // namespace

ComPtr<CEventManager> CEventManager::create()
{
    std::lock_guard guard(instanceLock());
    if (instance)
        return ComPtr<CEventManager>(instance);
    ComPtr<CEventManager> created;
    created.attach(new CEventManager());
    created->loadFolder(eventsFolder());
    instance = created.get();
    return created;
}

uint32_t CEventManager::Release()
{
    std::lock_guard guard(instanceLock());
    return ComObject::Release();
}

CEventManager::~CEventManager()
{
    std::lock_guard guard(instanceLock());
    if (instance == this)
        instance = nullptr;
}

// Files are taken in name order, so that of two events with one short name the same one wins
// on every start.
void CEventManager::loadFolder(const QString& folder)
{
    if (folder.isEmpty())
        return;
    QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral("*.evl")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (ComPtr<IEventParams> event = loadEventFile(dir.filePath(name)))
            events_.push_back(event);
    }
}

HRESULT CEventManager::get_Item(int32_t nIndex, IEventParams** out)
{
    std::lock_guard guard(mutex_);
    return copyItem(events_, nIndex, out);
}

HRESULT CEventManager::get_Count(int32_t* out) KAVRO_LOCKED_GET(static_cast<int32_t>(events_.size()))

HRESULT CEventManager::Add(const QString& shortName, IEventParams** out)
{
    if (!out || *out)
        return E_POINTER;
    ComPtr<IEventParams> event = CEventParams::create();
    event->put_ShortName(shortName);
    std::lock_guard guard(mutex_);
    events_.push_back(event);
    return event.copyTo(out);
}

HRESULT CEventManager::Find(const QString& name, IEventParams** out)
{
    if (!out || *out)
        return E_POINTER;
    std::lock_guard guard(mutex_);
    for (const auto& event : events_) {
        QString eventName;
        if (SUCCEEDED(event->get_Name(&eventName)) && eventName == name)
            return event.copyTo(out);
    }
    return S_FALSE;
}

HRESULT CEventManager::FindByShortName(const QString& shortName, IEventParams** out)
{
    if (!out || *out)
        return E_POINTER;
    std::lock_guard guard(mutex_);
    for (const auto& event : events_) {
        QString eventShortName;
        if (SUCCEEDED(event->get_ShortName(&eventShortName)) && eventShortName == shortName)
            return event.copyTo(out);
        Variant synonyms;
        if (FAILED(event->get_Value(kSynonym, &synonyms)) || synonyms.vt() != VT_BSTR)
            continue;
        // Pieces are compared as they stand: no blanks are trimmed, and empty pieces count. Every
        // document load asks, so the list is walked in place rather than split into copies.
        const QString& list = synonyms.bstr();
        for (qsizetype from = 0;;) {
            const qsizetype comma = list.indexOf(QLatin1Char(','), from);
            if (QStringView(list).sliced(from, (comma < 0 ? list.size() : comma) - from) == shortName)
                return event.copyTo(out);
            if (comma < 0)
                break;
            from = comma + 1;
        }
    }
    return S_FALSE;
}

HRESULT CEventManager::get__NewEnum(IUnknown** out)
{
    std::lock_guard guard(mutex_);
    return enumerateObjects(events_, out);
}

} // namespace kavrodoc
