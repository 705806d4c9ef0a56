#pragma once
// The shell's browser window: the folder tree from "Computer" on the left, the selected folder's
// own view on the right, Back and Up. The program kavro-catalog is this window.
#include "shell_folder_tree.h"
#include "shell_notify.h"
#include "shell_view_host.h"

#include <QMainWindow>

#include <vector>

class QAction;
class QTimer;

namespace kavro::shell {

class ShellBrowserWindow : public QMainWindow {
public:
    explicit ShellBrowserWindow(QWidget* parent = nullptr);
    ~ShellBrowserWindow() override;

    // Shows `absolute` (selecting it in the tree when it is there); E_INVALIDARG for no list.
    HRESULT browseTo(LPCITEMIDLIST absolute, bool remember = true);
    HRESULT BrowseObject(LPCITEMIDLIST pidl, uint32_t flags);
    // The browser's own controls a view may ask for: the folder tree (FCW_TREE).
    QWidget* controlWindow(uint32_t id) const;
    void back();
    void up();

    ShellFolderTree* tree() const { return tree_; }
    ShellViewHost* viewHost() const { return host_; }
    LPCITEMIDLIST shownFolder() const { return shown_.get(); }

private:
    class Site;
    void showPending();
    void updateActions();

    ComPtr<Site> site_;
    ShellFolderTree* tree_;
    ShellChangeFollower* notices_;
    QTimer* treeRefresh_;
    ShellViewHost* host_;
    QAction* back_;
    QAction* up_;
    IdList shown_;
    IdList pending_;
    std::vector<IdList> history_;
    bool selecting_ = false;
};

} // namespace kavro::shell
