#include "shell_folder_tree.h"

#include "shell_icons.h"

#include <QHeaderView>
#include <QQueue>

#include <algorithm>
#include <vector>

namespace kavro::shell {

void itemIcons(IShellFolder* parent, LPCITEMIDLIST relative, QIcon* normal, QIcon* open)
{
    *normal = *open = QIcon();
    ComPtr<IExtractIcon> extract;
    if (!parent || FAILED(parent->GetUIObjectOf(nullptr, 1, &relative, IExtractIcon::iid, nullptr, extract.putVoid()))
        || !extract)
        return;
    QString file;
    int index = -1;
    uint32_t flags = 0;
    if (SUCCEEDED(extract->GetIconLocation(0, &file, &index, &flags)))
        *normal = shellIcon(index);
    if (SUCCEEDED(extract->GetIconLocation(GIL_OPENICON, &file, &index, &flags)))
        *open = shellIcon(index);
}

namespace {

QIcon treeIcon(const QIcon& normal, const QIcon& open)
{
    if (open.isNull())
        return normal;
    // The view draws an expanded item in the icon's "on" state.
    QIcon icon;
    for (int size : {16, 32}) {
        icon.addPixmap(normal.pixmap(size, size), QIcon::Normal, QIcon::Off);
        icon.addPixmap(open.pixmap(size, size), QIcon::Normal, QIcon::On);
    }
    return icon;
}

} // namespace

QString displayNameOf(IShellFolder* folder, LPCITEMIDLIST relative, uint32_t flags)
{
    STRRET ret;
    if (!folder || FAILED(folder->GetDisplayNameOf(relative, flags, &ret)))
        return {};
    return StrRetToString(&ret);
}

ShellFolderTree::ShellFolderTree(QWidget* parent) : QTreeWidget(parent)
{
    header()->hide();
    setColumnCount(1);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { fillChildren(shellItem(item)); });
}

ShellTreeItem* ShellFolderTree::addTopFolder(IShellFolder* folder, LPCITEMIDLIST absolute, const QString& name)
{
    auto* item = new ShellTreeItem;
    item->folder = folder;
    item->absolute = IdList::copy(absolute);
    item->relative = IdList(ILCloneLast(absolute));
    item->setText(0, name);
    item->setIcon(0, shellIcon(3));
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    addTopLevelItem(item);
    return item;
}

IShellFolder* ShellFolderTree::folderOf(ShellTreeItem* item)
{
    if (!item->folder && item->parentFolder)
        item->parentFolder->BindToObject(item->relative.get(), nullptr, IShellFolder::iid, item->folder.putVoid());
    return item->folder.get();
}

bool ShellFolderTree::listChildren(ShellTreeItem* item, std::vector<ChildFolder>* out)
{
    out->clear();
    IShellFolder* folder = folderOf(item);
    ComPtr<IEnumIDList> items;
    if (!folder || FAILED(folder->EnumObjects(this, SHCONTF_FOLDERS, items.put())) || !items)
        return false;
    std::vector<IdList> children;
    LPITEMIDLIST next = nullptr;
    while (items->Next(1, &next, nullptr) == S_OK) {
        IdList child(next);
        LPCITEMIDLIST one = child.get();
        uint32_t attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
        if (FAILED(folder->GetAttributesOf(1, &one, &attributes)) || !(attributes & SFGAO_FOLDER))
            continue;
        children.push_back(std::move(child));
    }
    std::stable_sort(children.begin(), children.end(), [folder](const IdList& a, const IdList& b) {
        return shortFromCompare(folder->CompareIDs(0, a.get(), b.get())) < 0;
    });
    for (IdList& child : children) {
        LPCITEMIDLIST one = child.get();
        uint32_t attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
        folder->GetAttributesOf(1, &one, &attributes);
        QString shown = displayNameOf(folder, one, SHGDN_NORMAL);
        if (filter_ && !filter_(item->depth + 1, shown, &shown))
            continue;
        out->push_back({std::move(child), shown, (attributes & SFGAO_HASSUBFOLDER) != 0});
    }
    return true;
}

ShellTreeItem* ShellFolderTree::makeChild(ShellTreeItem* item, ChildFolder child)
{
    auto* node = new ShellTreeItem;
    node->parentFolder = folderOf(item);
    node->absolute = IdList(ILCombine(item->absolute.get(), child.relative.get()));
    node->relative = std::move(child.relative);
    node->depth = item->depth + 1;
    node->setText(0, child.shown);
    QIcon normal, open;
    itemIcons(node->parentFolder.get(), node->relative.get(), &normal, &open);
    node->setIcon(0, treeIcon(normal, open));
    node->setChildIndicatorPolicy(child.hasSubfolders ? QTreeWidgetItem::ShowIndicator
                                                      : QTreeWidgetItem::DontShowIndicator);
    return node;
}

void ShellFolderTree::fillChildren(ShellTreeItem* item)
{
    if (!item || !item->pending)
        return;
    item->pending = false;
    std::vector<ChildFolder> children;
    if (!listChildren(item, &children)) {
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
        return;
    }
    for (ChildFolder& child : children)
        item->addChild(makeChild(item, std::move(child)));
    if (item->childCount() == 0)
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

void ShellFolderTree::catalogChanged()
{
    for (int i = 0; i < topLevelItemCount(); ++i)
        refreshChildren(shellItem(topLevelItem(i)));
}

uint64_t ShellFolderTree::changeCount()
{
    auto countOf = [](ShellTreeItem* item, uint64_t* count) {
        ComPtr<IFolderChangeCount> counter;
        IShellFolder* folder = folderOf(item);
        return folder && SUCCEEDED(folder->QueryInterface(IFolderChangeCount::iid, counter.putVoid())) && counter
            && SUCCEEDED(counter->GetChangeCount(count));
    };
    uint64_t sum = 0;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        ShellTreeItem* top = shellItem(topLevelItem(i));
        uint64_t count = 0;
        if (countOf(top, &count)) {
            sum += count;
            continue;
        }
        // "Computer" keeps no count; the folders joined below it may.
        for (int c = 0; c < top->childCount(); ++c)
            if (countOf(shellItem(top->child(c)), &count))
                sum += count;
    }
    return sum;
}

void ShellFolderTree::refreshChildren(ShellTreeItem* item)
{
    if (item->pending)
        return; // enumerated afresh when first expanded
    std::vector<ChildFolder> children;
    if (!listChildren(item, &children))
        children.clear();
    auto sameFolder = [](QTreeWidgetItem* node, const ChildFolder& child) {
        return ILIsEqual(shellItem(node)->relative.get(), child.relative.get());
    };
    for (int i = item->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* node = item->child(i);
        if (std::any_of(children.begin(), children.end(), [&](const ChildFolder& c) { return sameFolder(node, c); }))
            continue;
        // The selection moves to the parent before its folder goes, not to a neighbour.
        for (QTreeWidgetItem* at = currentItem(); at; at = at->parent())
            if (at == node) {
                setCurrentItem(item);
                break;
            }
        delete node;
    }
    for (size_t i = 0; i < children.size(); ++i) {
        const int row = static_cast<int>(i);
        QTreeWidgetItem* node = row < item->childCount() ? item->child(row) : nullptr;
        if (node && sameFolder(node, children[i])) {
            node->setText(0, children[i].shown);
            if (shellItem(node)->pending)
                node->setChildIndicatorPolicy(children[i].hasSubfolders ? QTreeWidgetItem::ShowIndicator
                                                                        : QTreeWidgetItem::DontShowIndicator);
            continue;
        }
        int later = row + 1;
        while (later < item->childCount() && !sameFolder(item->child(later), children[i]))
            ++later;
        if (later < item->childCount()) // the order changed: the kept item moves up
            item->insertChild(row, item->takeChild(later));
        else
            item->insertChild(row, makeChild(item, std::move(children[i])));
    }
    for (int i = 0; i < item->childCount(); ++i)
        refreshChildren(shellItem(item->child(i)));
    item->setChildIndicatorPolicy(item->childCount() ? QTreeWidgetItem::ShowIndicator
                                                     : QTreeWidgetItem::DontShowIndicator);
}

ShellTreeItem* ShellFolderTree::findItem(LPCITEMIDLIST absolute)
{
    QQueue<ShellTreeItem*> queue;
    for (int i = 0; i < topLevelItemCount(); ++i)
        queue.enqueue(shellItem(topLevelItem(i)));
    const int depth = ILCount(absolute);
    while (!queue.isEmpty()) {
        ShellTreeItem* item = queue.dequeue();
        if (ILIsEqual(item->absolute.get(), absolute))
            return item;
        // Only folders on the way to the wanted one are filled.
        if (ILCount(item->absolute.get()) >= depth || !ILIsPrefix(item->absolute.get(), absolute))
            continue;
        fillChildren(item);
        for (int i = 0; i < item->childCount(); ++i)
            queue.enqueue(shellItem(item->child(i)));
    }
    return nullptr;
}

} // namespace kavro::shell
