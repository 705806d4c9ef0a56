#pragma once
// The trainer's catalog browse dialog: the catalog's folders on the left, the catalog's own view
// of the selected folder on the right, hosted by the dialog as its browser. "Open" (or a double
// click on a document) ends it with the document's path.
#include "catalog_lookup.h"
#include "shell/shell_folder_tree.h"
#include "shell/shell_notify.h"
#include "shell/shell_view_host.h"

#include <QDialog>

#include <functional>

class QPushButton;
class QTimer;

namespace kavro::trainer {

inline constexpr uint16_t kCatalogDialogId = 212;

class CCatalogDlg : public QDialog {
public:
    // Shown instead of an event folder's name (the event's display name); empty keeps the name.
    using EventNamer = std::function<QString(const QString& folderName)>;

    explicit CCatalogDlg(QWidget* parent = nullptr);
    ~CCatalogDlg() override;

    void setCaption(const QString& caption) { caption_ = caption; }
    // Only this event's folder is shown at the top level.
    void setEventRestriction(const QString& eventName) { restriction_ = eventName; }
    void setPreselection(const QString& event, const QString& shooter);
    void setEventNamer(EventNamer namer) { namer_ = std::move(namer); }

    // The chosen document's path ("Open" is enabled while it is not empty).
    QString chosenFile() const { return chosen_; }

    // What the dialog does between being built and being shown; public for the tests.
    void initDialog();
    kavro::shell::ShellFolderTree* tree() const { return tree_; }
    kavro::shell::ShellViewHost* viewHost() const { return host_; }
    QPushButton* openButton() const { return open_; }
    // A shell change notice, or a change whose notices were missed: the tree and view are rebuilt
    // 2 s after the last one.
    void onShellChange();
    // The rebuild the notices lead to.
    void refresh();
    bool refreshPending() const;
    int refreshes() const { return refreshes_; }

    // As the view's browser.
    HRESULT BrowseObject(kavro::shell::LPCITEMIDLIST pidl, uint32_t flags);
    HRESULT OnDefaultCommand(kavro::shell::IShellView* view);
    HRESULT OnStateChange(kavro::shell::IShellView* view, uint32_t change);
    // The dialog has no controls of a shell browser's own (no folder tree a view would use).
    QWidget* controlWindow(uint32_t) const { return nullptr; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    class Site;
    void fillTree();
    void selectFolder(kavro::shell::LPCITEMIDLIST absolute);
    // Selects the folders to preselect as far as they exist; true when the last one was selected.
    bool applyPreselection();
    void showPending();
    void clearChoice();
    // The first selected item of the view that is not a folder, by its parsing name; `anyFolder`
    // tells whether the selection holds a folder.
    QString selectedDocument(kavro::shell::IShellView* view, bool* anyFolder);

    ComPtr<Site> site_;
    QString caption_;
    QString restriction_;
    QString preselectEvent_, preselectShooter_;
    EventNamer namer_;
    QString chosen_;
    ComPtr<kavro::shell::IShellFolder> catalog_;
    IdList catalogId_;
    IdList pending_;
    kavro::shell::ShellFolderTree* tree_;
    kavro::shell::ShellViewHost* host_;
    QPushButton* open_;
    QTimer* refreshTimer_;
    kavro::shell::ShellChangeFollower* notices_;
    bool initialised_ = false;
    bool preselectPending_ = false;
    int refreshes_ = 0;
};

} // namespace kavro::trainer
