#pragma once
// A tree of shell folders, filled level by level as items expand, sorted by their folder's
// CompareIDs. Each item owns its item-ID lists. Used by the browser window and by dialogs that
// host a folder's view beside a tree.
#include "shell_interfaces.h"
#include "shell_root.h"

#include <QTreeWidget>

#include <functional>
#include <vector>

namespace kavro::shell {

class ShellTreeItem : public QTreeWidgetItem {
public:
    ComPtr<IShellFolder> parentFolder; // null for a top item
    IdList relative;
    IdList absolute;
    ComPtr<IShellFolder> folder; // bound on first use
    bool pending = true; // children not yet enumerated
    int depth = 0; // 0 for a top item
};

class ShellFolderTree : public QTreeWidget {
public:
    // Decides for each child folder at `depth` (1 for the top item's children) whether it is shown
    // and with what text; it starts as the folder's own display name.
    using ChildFilter = std::function<bool(int depth, const QString& name, QString* shown)>;

    explicit ShellFolderTree(QWidget* parent = nullptr);
    void setChildFilter(ChildFilter filter) { filter_ = std::move(filter); }

    // A top item for a bound folder.
    ShellTreeItem* addTopFolder(IShellFolder* folder, LPCITEMIDLIST absolute, const QString& name);
    // Enumerates the item's child folders once.
    void fillChildren(ShellTreeItem* item);
    // The folders changed somewhere: every item whose children were enumerated enumerates them
    // again. Folders that still exist keep their items, with expansion and selection; those gone
    // are removed (a selected one hands the selection to its parent); new ones are inserted in
    // their sorted place.
    void catalogChanged();
    // The sum of the change counts of the topmost folders that keep one (a top item's, else its
    // children's): it moves whenever anything the tree could show changed.
    uint64_t changeCount();
    // The item showing `absolute`, searched breadth first and filled on the way; null when none.
    ShellTreeItem* findItem(LPCITEMIDLIST absolute);
    static ShellTreeItem* shellItem(QTreeWidgetItem* item) { return static_cast<ShellTreeItem*>(item); }
    // The item's folder, bound when first asked for.
    static IShellFolder* folderOf(ShellTreeItem* item);

private:
    struct ChildFolder {
        IdList relative;
        QString shown;
        bool hasSubfolders = false;
    };
    // The item's child folders as they are shown, sorted; false when the folder cannot list them.
    bool listChildren(ShellTreeItem* item, std::vector<ChildFolder>* out);
    ShellTreeItem* makeChild(ShellTreeItem* item, ChildFolder child);
    void refreshChildren(ShellTreeItem* item);

    ChildFilter filter_;
};

// The icons of an item from its folder's icon extractor (normal and open); empty icons when the
// folder gives none.
void itemIcons(IShellFolder* parent, LPCITEMIDLIST relative, QIcon* normal, QIcon* open);
// The display name of an item in the given form.
QString displayNameOf(IShellFolder* folder, LPCITEMIDLIST relative, uint32_t flags);

} // namespace kavro::shell
