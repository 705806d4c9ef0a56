#include "catalog_dialog.h"

#include "kavrons.h"
#include "shell/browser_site.h"
#include "dialog_texts.h"
#include "window_rect.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <QtEndian>

namespace kavro::trainer {

using namespace kavro::shell;

namespace {
constexpr int kRefreshDelayMs = 2000;
constexpr uint32_t kTreeChanges = SHCNE_MKDIR | SHCNE_RMDIR | SHCNE_UPDATEDIR;
const QString kWindowRect = QStringLiteral("WindowRectOpen");
} // namespace

// As a common-dialog browser, the dialog also hears of the view's default command and selection.
class CCatalogDlg::Site final : public BrowserSiteBase<CCatalogDlg, Site, ICommDlgBrowser> {
public:
    using BrowserSiteBase::BrowserSiteBase;
    HRESULT OnDefaultCommand(IShellView* view) override { return owner_ ? owner_->OnDefaultCommand(view) : S_FALSE; }
    HRESULT OnStateChange(IShellView* view, uint32_t change) override
    {
        return owner_ ? owner_->OnStateChange(view, change) : S_OK;
    }
    // Everything the view lists is shown.
    HRESULT IncludeObject(IShellView*, LPCITEMIDLIST) override { return S_OK; }
};

CCatalogDlg::CCatalogDlg(QWidget* parent) : QDialog(parent), site_(Site::create(this))
{
    caption_ = LoadResString(61220);
    auto* split = new QSplitter(this);
    tree_ = new ShellFolderTree(split);
    host_ = new ShellViewHost(split);
    split->setStretchFactor(1, 3);
    FOLDERSETTINGS settings;
    settings.ViewMode = 2;
    settings.fFlags = FWF_AUTOARRANGE | FWF_SINGLESEL | FWF_NOSUBFOLDERS;
    host_->setSettings(settings);

    auto* buttons = new QDialogButtonBox(this);
    open_ = buttons->addButton(dialogText(kCatalogDialogId, 1), QDialogButtonBox::AcceptRole);
    buttons->addButton(dialogText(kCatalogDialogId, 2), QDialogButtonBox::RejectRole);
    open_->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addWidget(buttons);
    resize(760, 480);

    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(kRefreshDelayMs);
    connect(refreshTimer_, &QTimer::timeout, this, [this] { refresh(); });
    notices_ = new ShellChangeFollower(this);

    tree_->setChildFilter([this](int depth, const QString& name, QString* shown) {
        if (depth != 1)
            return true;
        if (!restriction_.isEmpty())
            return name == restriction_;
        if (namer_) {
            const QString display = namer_(name);
            if (!display.isEmpty())
                *shown = display;
        }
        return true;
    });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item)
            return;
        LPCITEMIDLIST absolute = ShellFolderTree::shellItem(item)->absolute.get();
        if (ILIsEqual(absolute, host_->shownFolder()) || ILIsEqual(absolute, pending_.get()))
            return;
        pending_ = IdList::copy(absolute);
        QTimer::singleShot(0, this, [this] { showPending(); });
    });
}

CCatalogDlg::~CCatalogDlg()
{
    notices_->Stop();
    host_->destroyView();
    site_->detach();
}

void CCatalogDlg::setPreselection(const QString& event, const QString& shooter)
{
    preselectEvent_ = event;
    preselectShooter_ = shooter;
}

void CCatalogDlg::showEvent(QShowEvent* event)
{
    if (!initialised_)
        initDialog();
    QDialog::showEvent(event);
}

void CCatalogDlg::initDialog()
{
    initialised_ = true;
    setWindowTitle(caption_);
    fillTree();
    if (!catalog_)
        return;
    preselectPending_ = !applyPreselection();
    notices_->Follow(
        catalogId_.get(), true, kTreeChanges, [this] { onShellChange(); }, [this] { return tree_->changeCount(); });
    RestoreWindowRect(this, kWindowRect);
}

bool CCatalogDlg::applyPreselection()
{
    if (preselectEvent_.isEmpty())
        return true;
    QStringList path{preselectEvent_};
    if (!preselectShooter_.isEmpty())
        path << preselectShooter_;
    // The event first: when its shooter has no folder (yet), the event stays selected.
    IdList wanted(ILCombine(catalogId_.get(), nullptr));
    for (const QString& name : path) {
        IdList item(kavro::shell::MakeItemId(kavro::shell::kNamedItemKind, name));
        wanted = IdList(ILCombine(wanted.get(), item.get()));
        if (!wanted)
            return true;
        selectFolder(wanted.get());
    }
    QTreeWidgetItem* current = tree_->currentItem();
    return current && ILIsEqual(ShellFolderTree::shellItem(current)->absolute.get(), wanted.get());
}

void CCatalogDlg::fillTree()
{
    tree_->clear();
    if (!catalog_ && !FindCatalogFolder(&catalog_, &catalogId_))
        return;
    ShellTreeItem* top
        = tree_->addTopFolder(catalog_.get(), catalogId_.get(), QString::fromLatin1(kavro::catalog::kCatalogRootName));
    tree_->fillChildren(top);
    top->setExpanded(true);
    tree_->setCurrentItem(top);
}

void CCatalogDlg::selectFolder(LPCITEMIDLIST absolute)
{
    if (ShellTreeItem* item = tree_->findItem(absolute)) {
        if (item->parent())
            item->parent()->setExpanded(true);
        tree_->setCurrentItem(item);
    }
}

void CCatalogDlg::showPending()
{
    if (!pending_)
        return;
    IdList folder = std::move(pending_);
    if (ILIsEqual(folder.get(), host_->shownFolder()))
        return;
    // A new view starts with nothing selected; what the old one chose must not be opened.
    clearChoice();
    host_->showFolder(folder.get(), site_.get());
    if (QWidget* view = host_->viewWindow())
        view->setFocusPolicy(Qt::StrongFocus);
}

void CCatalogDlg::onShellChange()
{
    refreshTimer_->start();
}

bool CCatalogDlg::refreshPending() const
{
    return refreshTimer_->isActive();
}

void CCatalogDlg::refresh()
{
    refreshTimer_->stop();
    notices_->NoteRefreshed();
    ++refreshes_;
    IdList shown = IdList::copy(host_->shownFolder());
    host_->destroyView();
    clearChoice();
    pending_.reset();
    // The folders that still exist keep their places, expanded or not.
    if (tree_->topLevelItemCount())
        tree_->catalogChanged();
    else
        fillTree();
    if (shown)
        selectFolder(shown.get());
    // A catalog whose service was still starting had none of the folders to preselect; they are
    // chosen once they appear, unless the user has gone elsewhere meanwhile.
    if (preselectPending_)
        preselectPending_ = ILIsEqual(shown.get(), catalogId_.get()) && !applyPreselection();
    // The selection may not have moved, and so shows nothing by itself.
    if (QTreeWidgetItem* current = tree_->currentItem(); current && !pending_) {
        pending_ = IdList::copy(ShellFolderTree::shellItem(current)->absolute.get());
        showPending();
    }
}

HRESULT CCatalogDlg::BrowseObject(LPCITEMIDLIST pidl, uint32_t flags)
{
    if (!pidl)
        return E_INVALIDARG;
    IdList absolute;
    if (flags & SBSP_RELATIVE) {
        if (!host_->shownFolder())
            return E_UNEXPECTED;
        absolute = IdList(ILCombine(host_->shownFolder(), pidl));
    } else {
        absolute = IdList::copy(pidl);
    }
    if (!absolute)
        return E_OUTOFMEMORY;
    // The view may list a folder that the tree has not taken in yet (it rebuilds 2 s after the
    // service's last notice): the tree takes it in now, so that the folder opens.
    if (!tree_->findItem(absolute.get()))
        tree_->catalogChanged();
    selectFolder(absolute.get());
    return S_OK;
}

QString CCatalogDlg::selectedDocument(IShellView* view, bool* anyFolder)
{
    *anyFolder = false;
    ComPtr<IDataObject> data;
    if (!view || FAILED(view->GetItemObject(SVGIO_SELECTION, IDataObject::iid, data.putVoid())) || !data)
        return {};
    FORMATETC format;
    format.cfFormat = RegisterClipboardFormat(QString::fromLatin1(CFSTR_SHELLIDLIST));
    STGMEDIUM medium;
    if (FAILED(data->GetData(&format, &medium)))
        return {};
    QString document;
    const uint8_t* block = medium.hGlobal->bytes;
    const size_t size = medium.hGlobal->size;
    auto u32 = [&](size_t at) { return at + 4 <= size ? qFromLittleEndian<quint32>(block + at) : 0u; };
    const uint32_t count = u32(0);
    ComPtr<IShellFolder> folder;
    const size_t folderAt = u32(4);
    if (folderAt < size && kavro::shell::CheckedItemIdListSize(block + folderAt, size - folderAt))
        BindToFolder(reinterpret_cast<LPCITEMIDLIST>(block + folderAt), folder.put());
    // The block is our own view's, but its offsets are still checked before use.
    for (uint32_t i = 0; folder && i < count && i < size / 4; ++i) {
        const size_t at = u32(8 + 4 * static_cast<size_t>(i));
        if (at == 0 || at >= size || !kavro::shell::CheckedItemIdListSize(block + at, size - at))
            continue;
        IdList item = IdList::copy(reinterpret_cast<LPCITEMIDLIST>(block + at));
        LPCITEMIDLIST one = item.get();
        uint32_t attributes = SFGAO_FOLDER;
        folder->GetAttributesOf(1, &one, &attributes);
        if (attributes & SFGAO_FOLDER)
            *anyFolder = true;
        else if (document.isEmpty())
            document = displayNameOf(folder.get(), one, SHGDN_FORPARSING);
    }
    ReleaseStgMedium(&medium);
    return document;
}

void CCatalogDlg::clearChoice()
{
    chosen_.clear();
    open_->setEnabled(false);
}

HRESULT CCatalogDlg::OnStateChange(IShellView* view, uint32_t change)
{
    if (change != CDBOSC_SELCHANGE)
        return S_OK;
    bool anyFolder = false;
    chosen_ = selectedDocument(view, &anyFolder);
    open_->setEnabled(!chosen_.isEmpty());
    return S_OK;
}

HRESULT CCatalogDlg::OnDefaultCommand(IShellView* view)
{
    bool anyFolder = false;
    const QString document = selectedDocument(view, &anyFolder);
    if (anyFolder || document.isEmpty())
        return S_FALSE;
    chosen_ = document;
    QTimer::singleShot(0, this, &QDialog::accept);
    return S_OK;
}

void CCatalogDlg::done(int result)
{
    SaveWindowRect(this, kWindowRect);
    notices_->Stop();
    QDialog::done(result);
}

} // namespace kavro::trainer
