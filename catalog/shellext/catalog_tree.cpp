#include "catalog_tree.h"

#include "cache_location.h"
#include "catalog_ui.h"
#include "com/classregistry.h"
#include "service_presence.h"
#include "shell/shell_execute.h"
#include "shell/shell_root.h"

#include "catalog_notice.h"
#include "shell/shell_notify.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <thread>

namespace kavro::catalog {

namespace {

constexpr int kEventIcon = 3, kEventOpenIcon = 2;
constexpr int kShooterIcon = 1, kShooterOpenIcon = 4;
constexpr int kDocumentIcon = 5, kOldDocumentIcon = 6;
constexpr int32_t kFirstCurrentVersion = 10;
const QString kCaption = QStringLiteral("kavrons");
constexpr std::chrono::milliseconds kServicePoll(50);

std::unique_ptr<CatalogNode> folderNode(const QString& name, bool fixed)
{
    auto node = std::make_unique<CatalogNode>();
    node->name = name;
    node->folder = true;
    node->fixed = fixed;
    node->icon = fixed ? kEventIcon : kShooterIcon;
    node->openIcon = fixed ? kEventOpenIcon : kShooterOpenIcon;
    return node;
}

std::unique_ptr<CatalogNode> documentNode(const CacheRecord& record)
{
    auto node = std::make_unique<CatalogNode>();
    node->name = record.path;
    node->document = true;
    node->fileVersion = record.isDocument() ? record.fileVersion : 0;
    node->icon = node->fileVersion < kFirstCurrentVersion ? kOldDocumentIcon : kDocumentIcon;
    node->openIcon = 0;
    node->shotCount = record.shotCount;
    node->resultSum = record.resultSum;
    node->date = record.date;
    node->comments = record.comments;
    node->position = record.position;
    return node;
}

// Every list is built by appending; the tree keeps each new node at the front of its list, so
// each list is reversed once at the end.
void reverseLists(CatalogNode* node)
{
    std::reverse(node->children.begin(), node->children.end());
    node->index.reserve(static_cast<qsizetype>(node->children.size()));
    for (auto& child : node->children) {
        if (!node->index.contains(child->name)) // the first of a name, as a walk of the list finds it
            node->index.insert(child->name, child.get());
        if (child->folder)
            reverseLists(child.get());
    }
}

} // namespace

const CatalogNode* CatalogNode::child(const QString& childName) const
{
    return index.value(childName, nullptr);
}

CCatalog& CCatalog::instance()
{
    static CCatalog catalog;
    return catalog;
}

void CCatalog::reset()
{
    std::lock_guard g(lock_);
    root_.reset();
    reader_.close();
    counter_ = 0;
    waiting_ = false;
    cacheMissing_ = false;
    ++generation_;
}

uint32_t CCatalog::changeCounter()
{
    std::lock_guard g(lock_);
    return reader_.changeCounter();
}

bool CCatalog::ensureService()
{
    if (isCatalogServiceRunning())
        return true;
    if (waiting_)
        return false;
    const QString program = QDir(thisModuleFolder()).filePath(QStringLiteral("kavrocls"));
    if (!kavro::shell::shellLauncher().startProgram(program, {})) {
        showCatalogMessage(QString::fromLatin1(kUnableToInitCatalog), program);
        return false;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return waitForServiceHere(program);
    // The service may take a minute on a busy machine: a window that waited here would freeze.
    waiting_ = true;
    serviceProgram_ = program;
    serviceDeadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(serviceWaitMs_);
    QMetaObject::invokeMethod(
        app, [this] { pollService(); }, Qt::QueuedConnection);
    return false;
}

bool CCatalog::preparing() const
{
    // A notice from the service may refill a view before the next look for it.
    return (waiting_ && !isCatalogServiceRunning()) || cacheMissing_;
}

bool CCatalog::waitForServiceHere(const QString& program)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(serviceWaitMs_);
    for (;;) {
        if (isCatalogServiceRunning())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            break;
        std::this_thread::sleep_for(kServicePoll);
    }
    showCatalogMessage(QString::fromLatin1(kUnableToInitCatalog), program);
    return false;
}

void CCatalog::pollService()
{
    QString failedProgram;
    {
        std::lock_guard g(lock_);
        if (!waiting_)
            return;
        const bool running = isCatalogServiceRunning();
        if (!running && std::chrono::steady_clock::now() < serviceDeadline_) {
            QTimer::singleShot(kServicePoll, QCoreApplication::instance(), [this] { pollService(); });
            return;
        }
        waiting_ = false;
        if (!running)
            failedProgram = serviceProgram_;
    }
    if (!failedProgram.isEmpty())
        showCatalogMessage(QString::fromLatin1(kUnableToInitCatalog), failedProgram);
    servicePrepared(failedProgram.isEmpty());
}

void CCatalog::servicePrepared(bool running)
{
    // Trees in this and other processes hear it as a change of the whole catalog.
    ItemIdList* root = running ? catalogIdList({}) : nullptr;
    if (root) {
        kavro::shell::SHChangeNotify(kavro::shell::SHCNE_UPDATEDIR, root);
        FreeItemIdList(root);
    }
    std::vector<int> ids;
    {
        std::lock_guard g(lock_);
        for (const auto& entry : preparedListeners_)
            ids.push_back(entry.first);
    }
    // A listener may remove itself or another while it runs: each is looked up when its turn comes.
    for (int id : ids) {
        PreparedListener listener;
        {
            std::lock_guard g(lock_);
            const auto it = preparedListeners_.find(id);
            if (it == preparedListeners_.end())
                continue;
            listener = it->second;
        }
        listener(running);
    }
}

void CCatalog::awaitCache()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (cacheMissing_ || !app) // without an event loop, the next refresh looks again
        return;
    cacheMissing_ = true;
    cacheDeadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(serviceWaitMs_);
    QTimer::singleShot(kServicePoll, app, [this] { pollCache(); });
}

void CCatalog::pollCache()
{
    bool back = false;
    {
        std::lock_guard g(lock_);
        if (!cacheMissing_)
            return;
        QString path;
        back = SUCCEEDED(cacheFilePath(&path)) && QFileInfo::exists(path);
        // A service that went is started again by the refresh the listeners make.
        const bool serviceGone = !isCatalogServiceRunning();
        if (!back && !serviceGone && std::chrono::steady_clock::now() < cacheDeadline_) {
            QTimer::singleShot(kServicePoll, QCoreApplication::instance(), [this] { pollCache(); });
            return;
        }
        cacheMissing_ = false;
        back = back || serviceGone;
    }
    if (!back)
        showCatalogMessage(QStringLiteral("Unable to open file mapping"), kCaption);
    servicePrepared(back);
}

int CCatalog::addPreparedListener(PreparedListener listener)
{
    std::lock_guard g(lock_);
    preparedListeners_.emplace(++nextListener_, std::move(listener));
    return nextListener_;
}

void CCatalog::removePreparedListener(int id)
{
    std::lock_guard g(lock_);
    preparedListeners_.erase(id);
}

void CCatalog::Refresh()
{
    std::lock_guard g(lock_);
    if (!ensureService())
        return;
    if (!reader_.isOpen() && FAILED(reader_.open())) {
        showCatalogMessage(QStringLiteral("Unable to open file mapping: 2"), kCaption);
        return;
    }
    if (root_ && reader_.changeCounter() == counter_)
        return;
    CacheSnapshot snapshot;
    uint32_t counter = 0;
    const HRESULT hr = reader_.read(&snapshot, &counter, kInfinite);
    if (hr == kCacheMissing) {
        // Deleted under the running service, which makes it again: no message for each refresh
        // meanwhile, but the views say the catalog is being prepared, and refill once it is back.
        awaitCache();
        return;
    }
    if (hr == kCacheCorrupted) {
        showCatalogMessage(QStringLiteral("Invalid cache version or corrupted"), kCaption);
        return;
    }
    if (FAILED(hr)) {
        showCatalogMessage(QStringLiteral("Unable to open file mapping"), kCaption);
        return;
    }
    Build(snapshot, counter);
}

void CCatalog::Build(const CacheSnapshot& snapshot, uint32_t counter)
{
    std::lock_guard g(lock_);
    auto root = std::make_unique<CatalogNode>();
    root->name = QString::fromLatin1(kCatalogRootName);
    root->folder = root->fixed = true;
    QHash<QString, CatalogNode*> events;
    QHash<CatalogNode*, QHash<QString, CatalogNode*>> shooters;
    auto eventFolder = [&](const QString& name) {
        CatalogNode*& node = events[name];
        if (!node) {
            root->children.push_back(folderNode(name, true));
            node = root->children.back().get();
        }
        return node;
    };
    eventFolder(QStringLiteral("Air Rifle"));
    eventFolder(QStringLiteral("Air Pistol"));
    CatalogNode* other = nullptr;
    for (const CacheRecord& record : snapshot.records) {
        CatalogNode* folder = nullptr;
        if (!record.isDocument()) {
            if (!other) {
                root->children.push_back(folderNode(QString::fromLatin1(kOtherFolderName), true));
                other = root->children.back().get();
            }
            folder = other;
        } else {
            CatalogNode* event = eventFolder(record.event);
            CatalogNode*& shooter = shooters[event][record.shooter];
            if (!shooter) {
                event->children.push_back(folderNode(record.shooter, false));
                shooter = event->children.back().get();
            }
            folder = shooter;
        }
        folder->children.push_back(documentNode(record));
    }
    reverseLists(root.get());
    root_ = std::move(root);
    counter_ = counter;
    ++generation_;
}

const CatalogNode* CCatalog::find(const ItemIdList* absolute) const
{
    if (!root_ || kavro::shell::ILCount(absolute) < 2)
        return nullptr;
    const CatalogNode* node = root_.get();
    const ItemId* item = NextItemId(NextItemId(absolute));
    for (; node && ItemIdSize(item) != 0; item = NextItemId(item))
        node = node->child(ItemIdName(item));
    return node;
}

QStringList documentPathsBelow(const CatalogNode* node)
{
    QStringList paths;
    if (!node)
        return paths;
    if (node->document)
        paths << node->name;
    for (const auto& child : node->children)
        paths << documentPathsBelow(child.get());
    return paths;
}

} // namespace kavro::catalog
