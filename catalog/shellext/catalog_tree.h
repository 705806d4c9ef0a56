#pragma once
// The catalog as a tree of event folders, shooter folders and documents, built in memory from
// the catalog cache. One tree per process, shared by every folder object and rebuilt only when
// the service's change counter has moved.
#include "cache_reader.h"
#include "catalog_root.h"
#include "shell/shell_interfaces.h"

#include <QHash>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace kavro::catalog {

struct CatalogNode {
    QString name; // event, shooter, "Other", or a document's full path
    bool document = false; // also set for files that are not readable documents (file version 0)
    bool folder = false;
    bool fixed = false; // event folders and "Other": their names cannot change
    int icon = 0;
    int openIcon = 0;
    int32_t fileVersion = 0;
    int32_t shotCount = 0;
    int32_t resultSum = 0;
    double date = 0;
    QString comments;
    QString position;
    std::vector<std::unique_ptr<CatalogNode>> children;
    // Children by name (the first of a name), for folders of thousands of documents.
    QHash<QString, const CatalogNode*> index;

    const CatalogNode* child(const QString& childName) const;
    bool isShooterFolder() const { return folder && !fixed; }
};

inline constexpr char kOtherFolderName[] = "Other";
inline constexpr char kUnableToInitCatalog[] = "Unable to init catalog";

class CCatalog {
public:
    static CCatalog& instance();

    // Brings the tree up to date with the cache, starting the service first when it does not
    // run. Failures are told to the user and leave the tree as it was. In a program with an event
    // loop the service is waited for on that loop, not here: the tree stays as it was while
    // preparing() holds, and the listeners hear when the service came up (or was given up on).
    void Refresh();
    // True from starting the service until it is seen running or given up on, and while the
    // running service makes its cache file again (it was deleted): the listeners hear when it is
    // back, as when the service came up.
    bool preparing() const;
    // Called on the event loop's thread when the wait for the service ends, with whether the
    // service runs (a view that refilled on a failure would start it again at once); returns an
    // id for removePreparedListener.
    using PreparedListener = std::function<void(bool running)>;
    int addPreparedListener(PreparedListener listener);
    void removePreparedListener(int id);
    // Builds the tree of a cache snapshot (what Refresh does once it has one).
    void Build(const CacheSnapshot& snapshot, uint32_t counter);

    // Holds the tree still while its nodes are in use.
    std::recursive_mutex& lock() { return lock_; }
    // The catalog folder's own node; null while no tree was built.
    const CatalogNode* root() const { return root_.get(); }
    // The node an absolute ID names: its first two items (Computer, the catalog) are skipped and
    // then one name per level matched exactly; null when there is none.
    const CatalogNode* find(const ItemIdList* absolute) const;
    // The cache's change counter as it stands now (0 before the first Refresh found the cache):
    // it moves whenever the service changes the cache.
    uint32_t changeCounter();
    // Changes whenever the tree is built again or forgotten: nodes found before are stale then.
    uint64_t generation() const { return generation_; }

    // How long Refresh waits for a service it started (60 s unless a test says otherwise).
    void setServiceWaitMs(uint32_t ms) { serviceWaitMs_ = ms; }
    // Forgets the tree and the cache (tests start each case afresh).
    void reset();

private:
    bool ensureService();
    bool waitForServiceHere(const QString& program);
    void pollService();
    void servicePrepared(bool running);
    void awaitCache();
    void pollCache();

    std::recursive_mutex lock_;
    std::unique_ptr<CatalogNode> root_;
    CatalogCacheReader reader_;
    uint32_t counter_ = 0;
    uint64_t generation_ = 0;
    uint32_t serviceWaitMs_ = 60000;
    std::atomic<bool> waiting_ = false;
    QString serviceProgram_;
    std::chrono::steady_clock::time_point serviceDeadline_;
    std::atomic<bool> cacheMissing_ = false;
    std::chrono::steady_clock::time_point cacheDeadline_;
    std::map<int, PreparedListener> preparedListeners_;
    int nextListener_ = 0;
};

// Every document path below `node` (the node's own when it is a document).
QStringList documentPathsBelow(const CatalogNode* node);

} // namespace kavro::catalog
