#pragma once
// The pane where a browser shows a folder's own view: binds the folder, creates its view with
// the settings the previous view ended with, and shows a placeholder when no view can be made.
#include "shell_interfaces.h"
#include "shell_root.h"

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace kavro::shell {

class ShellViewHost : public QWidget {
public:
    explicit ShellViewHost(QWidget* parent = nullptr);
    ~ShellViewHost() override;

    void setSettings(const FOLDERSETTINGS& settings) { settings_ = settings; }
    const FOLDERSETTINGS& settings() const { return settings_; }

    // Replaces the shown view by one of `absolute` hosted by `browser`.
    HRESULT showFolder(LPCITEMIDLIST absolute, IShellBrowser* browser);
    // Destroys the view, keeping its settings.
    void destroyView();

    IShellView* view() const { return view_.get(); }
    QWidget* viewWindow() const { return window_; }
    LPCITEMIDLIST shownFolder() const { return shown_.get(); }
    QLabel* placeholder() const { return placeholder_; }

private:
    FOLDERSETTINGS settings_;
    ComPtr<IShellView> view_;
    QWidget* window_ = nullptr;
    IdList shown_;
    QVBoxLayout* layout_;
    QLabel* placeholder_;
};

} // namespace kavro::shell
