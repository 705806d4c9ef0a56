#include "catalog_service.h"

#include "cache_location.h"
#include "com/classregistry.h"

namespace kavro::catalog {

CatalogService::~CatalogService()
{
    Stop();
}

QString catalogFolderFromDocumentModel()
{
    ComPtr<IKavroDocument> doc;
    QString path;
    if (FAILED(createInstance(kavrodoc::CLSID_KavroDocument, &doc)) || !doc || FAILED(doc->get_CatalogPath(&path)))
        return {};
    return path;
}

HRESULT CatalogService::Start(const Options& options)
{
    Stop();
    HRESULT hr = presence_.claim();
    if (hr != S_OK)
        return hr;
    QString cachePath;
    hr = cacheFilePath(&cachePath);
    if (SUCCEEDED(hr))
        hr = cache_.open(cachePath);
    folder_ = options.folder.isEmpty() ? catalogFolderFromDocumentModel() : options.folder;
    if (SUCCEEDED(hr) && folder_.isEmpty())
        hr = REGDB_E_CLASSNOTREG;
    // Seen running only now: a catalog view that waited for the service finds the cache open.
    if (SUCCEEDED(hr))
        hr = presence_.announce();
    if (FAILED(hr)) {
        cache_.close();
        presence_.release();
        return hr;
    }
    indexer_ = std::make_unique<CatalogIndexer>(cache_, folder_, nullptr);
    Clock& clock = options.clock ? *options.clock : realClock();
    watcher_ = std::make_unique<CatalogWatcher>(*indexer_, clock, options.settleMs, options.folderRetryMs);
    indexer_->setStopEvent(&watcher_->StopEvent());
    if (options.status)
        indexer_->setStatusSink(options.status);
    if (options.notices)
        indexer_->setNoticeSink(options.notices);
    if (!watcher_->Start()) {
        Stop();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CatalogService::Stop()
{
    if (watcher_)
        watcher_->Shutdown();
    watcher_.reset();
    indexer_.reset();
    presence_.withdraw();
    cache_.close();
    presence_.release();
}

} // namespace kavro::catalog
