#pragma once
// The shell change notices of the catalog: the service tells open catalog views that an event
// folder, a shooter folder or a document appeared or went. A notice travels on the notice channel
// "kavro-catalog" as a uint32 event code (little-endian) followed by the absolute item-ID list
// it concerns (the catalog's root ID, then one kind-1 item per level).
#include "com/hresult.h"
#include "ipc/notice_channel.h"
#include "item_id.h"

#include <QByteArray>
#include <QStringList>

#include <cstdint>

namespace kavro::catalog {

inline constexpr char kCatalogNoticeChannel[] = "kavro-catalog";

// The shell's change event codes.
enum ShellChange : uint32_t {
    SHCNE_CREATE = 0x2,
    SHCNE_DELETE = 0x4,
    SHCNE_MKDIR = 0x8,
    SHCNE_RMDIR = 0x10,
    SHCNE_UPDATEDIR = 0x1000,
    SHCNE_UPDATEITEM = 0x2000,
};

struct CatalogNotice {
    uint32_t event = 0;
    QStringList names; // every item's name, the root's two included
};

// The message for `event` on the absolute ID list `ids`; empty when `ids` is null.
QByteArray encodeShellNotice(uint32_t event, const ItemIdList* ids);
// False when `message` is not one well-formed notice.
bool decodeShellNotice(const QByteArray& message, CatalogNotice* out);

// The absolute ID of the catalog root joined with one kind-1 item per name in `path`; null when
// memory runs out or a name is too long for an item. Free it with FreeItemIdList.
ItemIdList* catalogIdList(const QStringList& path);

// Sends the catalog's notices on its channel (the catalog service keeps one for its life).
class CatalogNoticeSender {
public:
    // Sends `event` for the catalog root joined with one item per name in `path`.
    HRESULT send(uint32_t event, const QStringList& path);

private:
    NoticeSender sender_;
};

} // namespace kavro::catalog
