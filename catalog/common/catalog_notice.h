#pragma once
// The shell change notices of the catalog: the service tells open catalog views that an event
// folder, a shooter folder or a document appeared or went, on the shell's notice channel, about
// the catalog's root ID followed by one kind-1 item per level.
#include "catalog_root.h"
#include "com/hresult.h"
#include "ipc/notice_channel.h"
#include "shell/shell_notice.h"

#include <QStringList>

#include <cstdint>

namespace kavro::catalog {

using shell::decodeShellNotice;
using shell::encodeShellNotice;
using shell::SHCNE_CREATE;
using shell::SHCNE_DELETE;
using shell::SHCNE_MKDIR;
using shell::SHCNE_RMDIR;
using shell::SHCNE_UPDATEDIR;
using shell::SHCNE_UPDATEITEM;
// Every item's name, the root's two included.
using CatalogNotice = shell::ShellNotice;

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
