#include "shell_browser_window.h"

#include "browser_site.h"

#include <QAction>
#include <QLabel>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

namespace kavro::shell {

namespace {
constexpr uint32_t kTreeChanges = SHCNE_MKDIR | SHCNE_RMDIR | SHCNE_UPDATEDIR;
// A scan reports its new folders one by one: the tree is enumerated again once they pause.
constexpr int kTreeRefreshDelayMs = 250;
} // namespace

class ShellBrowserWindow::Site final : public BrowserSiteBase<ShellBrowserWindow, Site> {
public:
    using BrowserSiteBase::BrowserSiteBase;
};

QWidget* ShellBrowserWindow::controlWindow(uint32_t id) const
{
    return id == FCW_TREE ? tree_ : nullptr;
}

ShellBrowserWindow::ShellBrowserWindow(QWidget* parent) : QMainWindow(parent), site_(Site::create(this))
{
    auto* bar = addToolBar(tr("Navigation"));
    bar->setMovable(false);
    back_ = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), tr("Back"), this, [this] { back(); });
    back_->setShortcut(QKeySequence::Back);
    up_ = bar->addAction(style()->standardIcon(QStyle::SP_ArrowUp), tr("Up"), this, [this] { up(); });
    up_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Up));

    auto* split = new QSplitter(this);
    tree_ = new ShellFolderTree(split);
    host_ = new ShellViewHost(split);
    split->setStretchFactor(1, 3);
    setCentralWidget(split);
    resize(820, 520);

    treeRefresh_ = new QTimer(this);
    treeRefresh_->setSingleShot(true);
    treeRefresh_->setInterval(kTreeRefreshDelayMs);
    connect(treeRefresh_, &QTimer::timeout, tree_, [this] {
        notices_->NoteRefreshed();
        tree_->catalogChanged();
    });
    notices_ = new ShellChangeFollower(this);

    IdList computer(ComputerIdList());
    ComPtr<IShellFolder> folder;
    if (SUCCEEDED(BindToFolder(computer.get(), folder.put()))) {
        ShellTreeItem* top = tree_->addTopFolder(folder.get(), computer.get(), QString::fromLatin1(kComputerItemName));
        tree_->fillChildren(top);
        top->setExpanded(true);
    }
    // Followed once the tree holds the folders whose change counts it compares.
    notices_->Follow(
        computer.get(), true, kTreeChanges, [this] { treeRefresh_->start(); }, [this] { return tree_->changeCount(); });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item || selecting_)
            return;
        browseTo(ShellFolderTree::shellItem(item)->absolute.get());
    });
    updateActions();
}

ShellBrowserWindow::~ShellBrowserWindow()
{
    notices_->Stop();
    host_->destroyView();
    site_->detach();
}

HRESULT ShellBrowserWindow::browseTo(LPCITEMIDLIST absolute, bool remember)
{
    if (!absolute)
        return E_INVALIDARG;
    if (ILIsEqual(absolute, shown_.get()))
        return S_OK;
    if (remember && shown_)
        history_.push_back(shown_);
    shown_ = IdList::copy(absolute);
    if (ShellTreeItem* item = tree_->findItem(absolute)) {
        selecting_ = true;
        tree_->setCurrentItem(item);
        if (item->parent())
            item->parent()->setExpanded(true);
        selecting_ = false;
    }
    const QStringList names = ItemIdListNames(absolute);
    setWindowTitle(names.isEmpty() ? QString::fromLatin1(kComputerItemName) : names.last());
    // The view asking to browse must not be destroyed under its own call.
    pending_ = IdList::copy(absolute);
    QTimer::singleShot(0, this, [this] { showPending(); });
    updateActions();
    return S_OK;
}

void ShellBrowserWindow::showPending()
{
    if (!pending_)
        return;
    IdList folder = std::move(pending_);
    if (FAILED(host_->showFolder(folder.get(), site_.get())))
        host_->placeholder()->setText(tr("This folder has no view of its own: choose one of its folders on the left."));
}

HRESULT ShellBrowserWindow::BrowseObject(LPCITEMIDLIST pidl, uint32_t flags)
{
    if (flags & SBSP_PARENT) {
        up();
        return S_OK;
    }
    if (!pidl)
        return E_INVALIDARG;
    if (flags & SBSP_RELATIVE) {
        if (!shown_)
            return E_UNEXPECTED;
        IdList absolute(ILCombine(shown_.get(), pidl));
        return absolute ? browseTo(absolute.get()) : E_OUTOFMEMORY;
    }
    return browseTo(pidl);
}

void ShellBrowserWindow::back()
{
    if (history_.empty())
        return;
    IdList previous = std::move(history_.back());
    history_.pop_back();
    browseTo(previous.get(), false);
}

void ShellBrowserWindow::up()
{
    IdList parent(ILCloneParent(shown_.get()));
    if (parent)
        browseTo(parent.get());
}

void ShellBrowserWindow::updateActions()
{
    back_->setEnabled(!history_.empty());
    up_->setEnabled(ILCount(shown_.get()) > 1);
}

} // namespace kavro::shell
