#include "kavro_view.h"

#include "catalog_menu.h"
#include "catalog_ui.h"
#include "kavro_folder.h"
#include "shell/shell_execute.h"
#include "shell/shell_folder_tree.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTreeView>

#include <algorithm>

namespace kavro::catalog {

namespace {

struct Column {
    const char* title;
    int width;
    Qt::Alignment alignment;
};
// Dates, positions and counts vary little in width from row to row.
constexpr int kRowsMeasured = 100;

constexpr Column kColumnsOfReport[CatalogListModel::kColumns] = {
    {"Date & time", 125, Qt::AlignLeft}, {"Position", 50, Qt::AlignLeft},  {"Shot count", 40, Qt::AlignRight},
    {"Result", 50, Qt::AlignRight},      {"Comments", 150, Qt::AlignLeft},
};

} // namespace

CatalogListModel::CatalogListModel(KavroFolder* folder, QObject* parent) : QAbstractTableModel(parent), folder_(folder)
{
}

void CatalogListModel::fill(std::vector<IdList> ids)
{
    beginResetModel();
    folder_->sortChildIds(&ids);
    rows_.clear();
    rows_.reserve(ids.size());
    for (IdList& id : ids)
        rows_.push_back(Row{std::move(id), std::nullopt, std::nullopt});
    endResetModel();
}

LPCITEMIDLIST CatalogListModel::idAt(int row) const
{
    return row >= 0 && static_cast<size_t>(row) < rows_.size() ? rows_[static_cast<size_t>(row)].id.get() : nullptr;
}

int CatalogListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CatalogListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QStringList CatalogListModel::textsOf(const Row& row) const
{
    QStringList texts{displayNameOf(folder_.get(), row.id.get(), SHGDN_INFOLDER), {}, {}, {}, {}};
    std::lock_guard g(CCatalog::instance().lock());
    if (const CatalogNode* node = folder_->childNode(row.id.get()); node && !node->folder) {
        texts[1] = node->position;
        texts[2] = QString::number(node->shotCount);
        texts[3] = QString::number(node->resultSum);
        texts[4] = node->comments;
    }
    return texts;
}

QVariant CatalogListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || static_cast<size_t>(index.row()) >= rows_.size())
        return {};
    const Row& row = rows_[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        if (!row.texts)
            row.texts = textsOf(row);
        return row.texts->value(index.column());
    }
    if (role == Qt::DecorationRole && index.column() == 0) {
        if (!row.icon) {
            QIcon open;
            row.icon.emplace();
            itemIcons(folder_.get(), row.id.get(), &*row.icon, &open);
        }
        return *row.icon;
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kColumnsOfReport[index.column()].alignment | Qt::AlignVCenter);
    return {};
}

QVariant CatalogListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kColumnsOfReport[section].title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kColumnsOfReport[section].alignment | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags CatalogListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index) | Qt::ItemIsDragEnabled;
    if (index.isValid() && index.column() == 0) {
        LPCITEMIDLIST id = idAt(index.row());
        uint32_t attributes = SFGAO_CANRENAME;
        if (SUCCEEDED(folder_->GetAttributesOf(1, &id, &attributes)) && (attributes & SFGAO_CANRENAME))
            f |= Qt::ItemIsEditable;
    }
    return f;
}

static QString renameFailureText(const QString& oldName, const QString& newName, const QStringList& underBothNames)
{
    if (underBothNames.isEmpty())
        return QStringLiteral("Some documents could not be saved under the new name \"%1\"; "
                              "they keep their old files. Check that the catalog folder can be written.")
            .arg(newName);
    return QStringLiteral("Some documents could not be moved to the new name \"%1\" and now exist under both "
                          "\"%2\" and \"%1\":\n%3\nCheck that the catalog folder can be written, then delete "
                          "the copies you do not want.")
        .arg(newName, oldName, underBothNames.join(QLatin1Char('\n')));
}

bool CatalogListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const QString name = value.toString().trimmed();
    if (role != Qt::EditRole || index.column() != 0 || name.isEmpty() || name == ItemIdName(idAt(index.row())))
        return false;
    LPITEMIDLIST renamed = nullptr;
    const HRESULT hr = folder_->SetNameOf(nullptr, idAt(index.row()), name, SHGDN_INFOLDER, &renamed);
    ILFree(renamed);
    if (FAILED(hr))
        showCatalogMessage(renameFailureText(ItemIdName(idAt(index.row())), name, folder_->documentsUnderBothNames()),
                           QStringLiteral("Kavro catalog"));
    // The rows change when the service has indexed the documents saved under the new name.
    return SUCCEEDED(hr);
}

QStringList CatalogListModel::mimeTypes() const
{
    return {QString::fromLatin1(kShellIdListMime), QStringLiteral("text/uri-list")};
}

QMimeData* CatalogListModel::mimeData(const QModelIndexList& indexes) const
{
    std::vector<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid() && std::find(rows.begin(), rows.end(), index.row()) == rows.end())
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    std::vector<IdList> ids;
    QStringList paths;
    for (int row : rows) {
        ids.push_back(IdList::copy(idAt(row)));
        std::lock_guard g(CCatalog::instance().lock());
        if (const CatalogNode* node = folder_->childNode(idAt(row)); node && node->document)
            paths << node->name;
    }
    auto data = CKavroDataObject::create(folder_->absolute(), std::move(ids));
    return catalogMimeData(data.get(), paths);
}

KavroView::KavroView(KavroFolder* folder, LPCITEMIDLIST absolute) : folder_(folder), pidl_(IdList::copy(absolute))
{
}

KavroView::~KavroView()
{
    DestroyViewWindow();
}

HRESULT KavroView::GetWindow(QWidget** out)
{
    if (!out)
        return E_POINTER;
    *out = list_.data();
    return list_ ? S_OK : E_FAIL;
}

HRESULT KavroView::CreateViewWindow(IShellView*, const FOLDERSETTINGS* settings, IShellBrowser* browser,
                                    const QRect& rect, QWidget** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!browser)
        return E_INVALIDARG;
    if (settings)
        settings_ = *settings;
    browser_ = browser;
    commDlg_ = browser_.query<ICommDlgBrowser>();
    QWidget* parent = nullptr;
    browser->GetWindow(&parent);
    if (!parent)
        return E_FAIL;

    list_ = new QTreeView(parent);
    list_->setGeometry(rect);
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    list_->setSortingEnabled(false);
    list_->setDragEnabled(true);
    list_->setDragDropMode(QAbstractItemView::DragOnly);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    model_ = new CatalogListModel(folder_.get(), list_);
    list_->setModel(model_);
    list_->header()->setSectionsClickable(false);
    for (int c = 0; c < CatalogListModel::kColumns; ++c)
        list_->header()->resizeSection(c, kColumnsOfReport[c].width);

    QObject::connect(list_, &QAbstractItemView::activated, list_, [this] { activate(); });
    QObject::connect(list_, &QWidget::customContextMenuRequested, list_,
                     [this](const QPoint& pos) { showContextMenu(list_->viewport()->mapToGlobal(pos)); });
    QObject::connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, list_, [this] {
        if (commDlg_)
            commDlg_->OnStateChange(this, CDBOSC_SELCHANGE);
    });
    preparing_ = new QLabel(QStringLiteral("The catalog is being prepared..."), list_->viewport());
    preparing_->setAttribute(Qt::WA_TransparentForMouseEvents);
    preparing_->move(8, 8);
    preparing_->adjustSize();
    preparedListener_ = CCatalog::instance().addPreparedListener([this](bool running) {
        if (running)
            Refresh();
        else if (preparing_)
            preparing_->hide();
    });
    fill();

    notices_ = new ShellChangeFollower(list_);
    notices_->Follow(
        pidl_.get(), false, kRefillEvents, [this] { Refresh(); }, [] { return CCatalog::instance().changeCounter(); });
    *out = list_.data();
    return S_OK;
}

HRESULT KavroView::DestroyViewWindow()
{
    if (preparedListener_)
        CCatalog::instance().removePreparedListener(preparedListener_);
    preparedListener_ = 0;
    if (notices_)
        notices_->Stop();
    notices_ = nullptr;
    if (list_) {
        // The list's signals reach this view no more; the list itself is deleted later, since
        // the view may be destroyed from a call that its own list made.
        QObject::disconnect(list_->selectionModel(), nullptr, list_, nullptr);
        QObject::disconnect(list_, nullptr, list_, nullptr);
        list_->hide();
        list_->deleteLater();
    }
    list_ = nullptr;
    model_ = nullptr;
    commDlg_ = nullptr;
    browser_ = nullptr;
    return S_OK;
}

HRESULT KavroView::GetCurrentInfo(FOLDERSETTINGS* out)
{
    if (!out)
        return E_POINTER;
    *out = settings_;
    return S_OK;
}

HRESULT KavroView::UIActivate(uint32_t state)
{
    activation_ = state;
    return S_OK;
}

void KavroView::fill()
{
    if (!model_)
        return;
    std::vector<IdList> ids;
    ComPtr<IEnumIDList> items;
    if (SUCCEEDED(folder_->EnumObjects(list_, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.put())) && items) {
        LPITEMIDLIST next = nullptr;
        while (items->Next(1, &next, nullptr) == S_OK) {
            IdList id(next);
            if (commDlg_ && commDlg_->IncludeObject(this, id.get()) != S_OK)
                continue;
            ids.push_back(std::move(id));
        }
    }
    // Report mode when the folder's first child is a document.
    {
        std::lock_guard g(CCatalog::instance().lock());
        const CatalogNode* node = CCatalog::instance().find(pidl_.get());
        report_ = node && !node->children.empty() && node->children.front()->document;
    }
    list_->setUpdatesEnabled(false);
    if (preparing_)
        preparing_->setVisible(CCatalog::instance().preparing());
    model_->fill(std::move(ids));
    list_->setHeaderHidden(!report_);
    for (int c = 1; c < CatalogListModel::kColumns; ++c)
        list_->setColumnHidden(c, !report_);
    // The widths were chosen for a smaller font than this desktop's: a column widens to show its
    // title and its texts whole (the last one stretches anyway) rather than cut the date short.
    // Only the rows shown and their neighbours are measured: a folder of thousands of practices
    // would otherwise have every row formatted before the first is seen.
    if (report_) {
        list_->header()->setResizeContentsPrecision(kRowsMeasured);
        for (int c = 0; c + 1 < CatalogListModel::kColumns; ++c) {
            const int chosen = list_->header()->sectionSize(c);
            list_->resizeColumnToContents(c);
            if (list_->header()->sectionSize(c) < chosen)
                list_->header()->resizeSection(c, chosen);
        }
    }
    list_->setUpdatesEnabled(true);
}

HRESULT KavroView::Refresh()
{
    fill();
    return S_OK;
}

std::vector<int> KavroView::selectedRows() const
{
    std::vector<int> rows;
    if (!list_)
        return rows;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

HRESULT KavroView::GetItemObject(uint32_t which, const IID& iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid != IDataObject::iid || !model_)
        return E_NOINTERFACE;
    std::vector<int> rows;
    if (which == SVGIO_SELECTION) {
        rows = selectedRows();
    } else if (which == SVGIO_ALLVIEW) {
        for (int r = 0; r < model_->rowCount(); ++r)
            rows.push_back(r);
    } else {
        return E_NOINTERFACE;
    }
    std::vector<IdList> ids;
    for (int row : rows)
        ids.push_back(IdList::copy(model_->idAt(row)));
    return CKavroDataObject::create(pidl_.get(), std::move(ids))->QueryInterface(iid, out);
}

HRESULT KavroView::selectionMenu(ComPtr<IContextMenu>* out)
{
    *out = nullptr;
    const std::vector<int> rows = selectedRows();
    HRESULT hr;
    if (rows.empty()) {
        hr = folder_->CreateViewObject(list_, IContextMenu::iid, out->putVoid());
    } else {
        std::vector<LPCITEMIDLIST> ids;
        for (int row : rows)
            ids.push_back(model_->idAt(row));
        hr = folder_->GetUIObjectOf(list_, static_cast<uint32_t>(ids.size()), ids.data(), IContextMenu::iid, nullptr,
                                    out->putVoid());
    }
    return SUCCEEDED(hr) && *out ? S_OK : S_FALSE;
}

void KavroView::showContextMenu(const QPoint& globalPos)
{
    ComPtr<IContextMenu> menu;
    if (selectionMenu(&menu) != S_OK)
        return;
    QWidget* tree = nullptr;
    const bool explore = browser_ && SUCCEEDED(browser_->GetControlWindow(FCW_TREE, &tree)) && tree;
    QMenu popup(list_);
    if (FAILED(menu->QueryContextMenu(&popup, 0, 0, 100, explore ? CMF_EXPLORE : CMF_NORMAL)))
        return;
    QAction* chosen = popup.exec(globalPos);
    if (!chosen)
        return;
    CMINVOKECOMMANDINFO info;
    info.owner = list_;
    info.verb = chosen->data().toUInt();
    ComPtr<KavroView> keep(this); // the command may refill or close this view
    menu->InvokeCommand(&info);
}

void KavroView::activate()
{
    const std::vector<int> rows = selectedRows();
    if (rows.empty() && !(list_ && list_->currentIndex().isValid()))
        return;
    const int row = rows.empty() ? list_->currentIndex().row() : rows.front();
    if (commDlg_ && commDlg_->OnDefaultCommand(this) == S_OK)
        return;
    IdList id = IdList::copy(model_->idAt(row));
    LPCITEMIDLIST one = id.get();
    uint32_t attributes = SFGAO_FOLDER;
    folder_->GetAttributesOf(1, &one, &attributes);
    if (attributes & SFGAO_FOLDER) {
        if (browser_)
            browser_->BrowseObject(one, SBSP_RELATIVE);
        return;
    }
    ShellExecuteOpenFile(displayNameOf(folder_.get(), one, SHGDN_FORPARSING));
}

} // namespace kavro::catalog
