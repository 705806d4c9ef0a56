#include "catalog_notice.h"

#include "cache_format.h"
#include "ipc/notice_channel.h"

namespace kavro::catalog {

QByteArray encodeShellNotice(uint32_t event, const ItemIdList* ids)
{
    if (!ids)
        return {};
    QByteArray message(4, Qt::Uninitialized);
    putU32(reinterpret_cast<uint8_t*>(message.data()), event);
    message.append(reinterpret_cast<const char*>(ids), static_cast<qsizetype>(ItemIdListSize(ids)));
    return message;
}

bool decodeShellNotice(const QByteArray& message, CatalogNotice* out)
{
    if (!out || message.size() < 6)
        return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(message.constData());
    const size_t rest = static_cast<size_t>(message.size()) - 4;
    if (CheckedItemIdListSize(bytes + 4, rest) != rest)
        return false;
    out->event = getU32(bytes);
    // The bytes may sit at any alignment; the item routines read them bytewise.
    out->names = ItemIdListNames(reinterpret_cast<const ItemIdList*>(bytes + 4));
    return true;
}

ItemIdList* catalogIdList(const QStringList& path)
{
    ItemIdList* ids = GetCatalogRootIdList();
    for (const QString& name : path) {
        ItemIdList* item = ids ? MakeItemId(kCatalogItemKind, name) : nullptr;
        if (!item) {
            FreeItemIdList(ids);
            return nullptr;
        }
        ids = AppendItemId(ids, item);
        FreeItemIdList(item);
    }
    return ids;
}

HRESULT CatalogNoticeSender::send(uint32_t event, const QStringList& path)
{
    ItemIdList* ids = catalogIdList(path);
    if (!ids)
        return E_OUTOFMEMORY;
    const QByteArray message = encodeShellNotice(event, ids);
    FreeItemIdList(ids);
    HRESULT hr = S_OK;
    if (message.size() > kMaxNoticeBytes)
        return E_INVALIDARG;
    // Opened on first use, and again after a failure (the runtime folder may have been cleared).
    if (!sender_.isOpen())
        hr = sender_.open(QString::fromLatin1(kCatalogNoticeChannel));
    if (SUCCEEDED(hr))
        hr = sender_.send(message);
    if (FAILED(hr))
        sender_.close();
    return hr;
}

} // namespace kavro::catalog
