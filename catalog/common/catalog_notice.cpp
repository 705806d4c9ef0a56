#include "catalog_notice.h"

#include "ipc/notice_channel.h"

namespace kavro::catalog {

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
        hr = sender_.open(QString::fromLatin1(shell::kShellNoticeChannel));
    if (SUCCEEDED(hr))
        hr = sender_.send(message);
    if (FAILED(hr))
        sender_.close();
    return hr;
}

} // namespace kavro::catalog
