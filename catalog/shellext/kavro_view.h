#pragma once
// The catalog's view of one folder: a list (folders) or a five-column report (documents) that
// fills itself from the folder, sorts with its CompareIDs, opens or browses on activation, shows
// the catalog's context menu, hands selections out as data objects and refills on the service's
// change notices.
#include "catalog_root.h"
#include "shell/shell_interfaces.h"
#include "shell/shell_notify.h"
#include "shell/shell_root.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QPointer>

#include <optional>
#include <vector>

#include <QLabel>
#include <QTreeView>

namespace kavro::catalog {

using namespace kavro::shell;

class KavroFolder;

// The rows of a view: each holds its item ID; texts and icons are asked for when first shown
// and kept.
class CatalogListModel : public QAbstractTableModel {
public:
    static constexpr int kColumns = 5;
    explicit CatalogListModel(KavroFolder* folder, QObject* parent = nullptr);

    // Replaces the rows by `ids`, sorted with the folder's CompareIDs.
    void fill(std::vector<IdList> ids);
    LPCITEMIDLIST idAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A new name for a shooter folder (the first column edited in place).
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

private:
    struct Row {
        IdList id;
        mutable std::optional<QStringList> texts;
        mutable std::optional<QIcon> icon;
    };
    QStringList textsOf(const Row& row) const;

    ComPtr<KavroFolder> folder_;
    std::vector<Row> rows_;
};

class KavroView final : public ComObject<KavroView, IShellView> {
public:
    static constexpr CLSID clsid = Guid::parse("1D3C7A28-7E18-49DB-BF51-A7C5C87C46FE");
    // The notices a view refills on: create, delete, make and remove folder, update folder and item.
    static constexpr uint32_t kRefillEvents = 0x301E;

    KavroView(KavroFolder* folder, LPCITEMIDLIST absolute);
    ~KavroView() override;

    HRESULT GetWindow(QWidget** out) override;
    HRESULT CreateViewWindow(IShellView* previous, const FOLDERSETTINGS* settings, IShellBrowser* browser,
                             const QRect& rect, QWidget** out) override;
    HRESULT DestroyViewWindow() override;
    HRESULT GetCurrentInfo(FOLDERSETTINGS* out) override;
    HRESULT UIActivate(uint32_t state) override;
    HRESULT Refresh() override;
    HRESULT GetItemObject(uint32_t which, const IID& iid, void** out) override;

    QTreeView* list() const { return list_; }
    CatalogListModel* model() const { return model_; }
    bool reportMode() const { return report_; }
    // The text shown over the empty list while the catalog service is being started; null
    // without a view window.
    QLabel* preparingText() const { return preparing_; }
    // The context menu for the current selection, or the folder's own without one; null (with
    // S_FALSE) when there is none, as for more than one selected item.
    HRESULT selectionMenu(ComPtr<IContextMenu>* out);
    // Builds the menu with ids from 0 to 100 and runs the chosen command (what a right click does).
    void showContextMenu(const QPoint& globalPos);
    // The default action on the first selected item.
    void activate();

private:
    std::vector<int> selectedRows() const;
    void fill();

    ComPtr<KavroFolder> folder_;
    IdList pidl_;
    ComPtr<IShellBrowser> browser_;
    ComPtr<ICommDlgBrowser> commDlg_;
    FOLDERSETTINGS settings_;
    uint32_t activation_ = 0;
    QPointer<QTreeView> list_;
    CatalogListModel* model_ = nullptr;
    QPointer<ShellChangeFollower> notices_; // owned by the list, which its parent may delete first
    QPointer<QLabel> preparing_; // owned by the list
    int preparedListener_ = 0;
    bool report_ = false;
};

} // namespace kavro::catalog
