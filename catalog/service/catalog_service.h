#pragma once
// The catalog service's life: claim the one service's place, open the cache under the guard, find
// the catalog folder, announce "service running" and start the watcher; stop in the reverse order.
#include "cache_writer.h"
#include "catalog_indexer.h"
#include "catalog_watcher.h"
#include "service_presence.h"

#include <memory>

namespace kavro::catalog {

class CatalogService {
public:
    struct Options {
        Clock* clock = nullptr; // null: the machine's clock
        uint32_t settleMs = kSettleMs;
        uint32_t folderRetryMs = kFolderRetryMs;
        QString folder; // empty: the catalog folder of the per-machine settings
        CatalogIndexer::StatusSink status;
        CatalogIndexer::NoticeSink notices; // empty: the shell change notices
    };

    ~CatalogService();

    // S_FALSE when another catalog service already runs (nothing is started then).
    HRESULT Start(const Options& options);
    void Stop();
    bool running() const { return watcher_ != nullptr; }

    const QString& folder() const { return folder_; }
    CatalogWatcher* watcher() const { return watcher_.get(); }
    CatalogIndexer* indexer() const { return indexer_.get(); }

private:
    ServicePresence presence_;
    CatalogCache cache_;
    QString folder_;
    std::unique_ptr<CatalogIndexer> indexer_;
    std::unique_ptr<CatalogWatcher> watcher_;
};

// The catalog folder as the document model finds it (ending in '/'), through a document created
// by class ID; empty when the document module cannot be loaded.
QString catalogFolderFromDocumentModel();

} // namespace kavro::catalog
