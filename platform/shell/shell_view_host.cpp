#include "shell_view_host.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kavro::shell {

ShellViewHost::ShellViewHost(QWidget* parent) : QWidget(parent)
{
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    placeholder_ = new QLabel(this);
    placeholder_->setFrameShape(QFrame::StyledPanel);
    placeholder_->setAlignment(Qt::AlignCenter);
    placeholder_->setWordWrap(true);
    layout_->addWidget(placeholder_);
}

ShellViewHost::~ShellViewHost()
{
    destroyView();
}

void ShellViewHost::destroyView()
{
    if (view_) {
        view_->GetCurrentInfo(&settings_);
        view_->DestroyViewWindow();
        view_ = nullptr;
    }
    window_ = nullptr;
    shown_.reset();
    placeholder_->show();
}

HRESULT ShellViewHost::showFolder(LPCITEMIDLIST absolute, IShellBrowser* browser)
{
    destroyView();
    shown_ = IdList::copy(absolute);
    ComPtr<IShellFolder> folder;
    HRESULT hr = BindToFolder(absolute, folder.put());
    ComPtr<IShellView> view;
    if (SUCCEEDED(hr))
        hr = folder->CreateViewObject(this, IShellView::iid, view.putVoid());
    QWidget* window = nullptr;
    if (SUCCEEDED(hr))
        hr = view->CreateViewWindow(nullptr, &settings_, browser, placeholder_->geometry(), &window);
    if (FAILED(hr) || !window) {
        if (view)
            view->DestroyViewWindow();
        return FAILED(hr) ? hr : E_FAIL;
    }
    view_ = view;
    window_ = window;
    layout_->addWidget(window);
    window->show();
    placeholder_->hide();
    return S_OK;
}

} // namespace kavro::shell
