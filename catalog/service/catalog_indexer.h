#pragma once
// The rescan of the catalog folder: records of vanished files are deleted, every file is indexed
// through the document model, and open catalog views are told what appeared and went. Runs on
// the watcher thread, which alone writes the cache.
#include "cache_writer.h"
#include "kavrodoc.h"
#include "thread/manual_event.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

struct stat;

namespace kavro::catalog {

enum class TrayState { Idle, Scanning, ChangeSeen };

// The tray tip: "Kavro catalog - 12 file(s)", with " busy" after "catalog" unless idle.
QString trayTip(TrayState state, uint32_t liveDocuments);

class CatalogIndexer {
public:
    // Records read in one folder are written to the cache together, at most this many at once.
    static constexpr size_t kRecordsPerWrite = 64;

    using DocumentFactory = std::function<HRESULT(ComPtr<IKavroDocument>* out)>;
    using NoticeSink = std::function<void(uint32_t event, const QStringList& path)>;
    // The icon to show and the live document count for the tip; called on the watcher thread.
    using StatusSink = std::function<void(TrayState state, uint32_t liveDocuments)>;

    // `folder` ends in '/'. `stop` ends a rescan at the next record or folder entry.
    CatalogIndexer(CatalogCache& cache, QString folder, const ManualEvent* stop);

    void setStopEvent(const ManualEvent* stop) { stop_ = stop; }
    void setDocumentFactory(DocumentFactory f) { factory_ = std::move(f); }
    void setNoticeSink(NoticeSink s) { notices_ = std::move(s); }
    void setStatusSink(StatusSink s) { status_ = std::move(s); }

    const QString& folder() const { return folder_; }
    CatalogCache& cache() { return cache_; }
    void showState(TrayState state);
    // The whole rescan; returns at once when the stop event is set.
    void Rescan();
    // Indexes one file (the walk's step for each file); `known` is its stat when the walk has it.
    void IndexFile(const QString& path, const struct stat* known = nullptr);

    // Rescans done, for the watcher's tests and benchmarks.
    int rescans() const { return rescans_; }

    // The record that reading `path` gives: the document's fields, or a non-document record
    // (file version 0) when it cannot be read as one.
    CacheRecord ReadDocument(const QString& path);

private:
    bool stopped() const { return stop_ && stop_->isSet(); }
    // The record of a new or changed file (the old record deleted); nothing for an unchanged one.
    std::optional<CacheRecord> readIfChanged(const QString& path, const struct stat* known);
    // Appends the records, tells open views of each and empties `records`.
    void addRecords(std::vector<CacheRecord>* records);
    void dropVanishedRecords();
    void walk(const QByteArray& folder);
    void notify(uint32_t event, const QStringList& path);

    CatalogCache& cache_;
    QString folder_;
    const ManualEvent* stop_;
    DocumentFactory factory_;
    NoticeSink notices_;
    StatusSink status_;
    // Held so that the per-process event manager, which lives only while referenced, is not
    // built again from the event files for every document.
    ComPtr<IEventManager> events_;
    TrayState state_ = TrayState::Idle;
    std::atomic<int> rescans_{0};
};

} // namespace kavro::catalog
