#include "frame_panes.h"

#include "app_options.h"
#include "app_registry.h"
#include "frame_commands.h"
#include "frame_layout.h"
#include "kavro_doc.h"
#include "replay_controller.h"
#include "ui_text.h"
#include "view_registry.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
const int kViewCommands[] = {Cmd::ViewInfo,  Cmd::ViewTrace, Cmd::ViewDistance,  Cmd::ViewCoordination,
                             Cmd::ViewShift, Cmd::ViewSpeed, Cmd::ViewIntervals, Cmd::ViewProbability};
} // namespace

FramePanes::FramePanes(QMainWindow& window, CKavroDoc& doc, FrameCommands& commands, ReplayController& replay)
    : window_(window), doc_(doc), commands_(commands), replay_(replay)
{
}

FramePanes::~FramePanes()
{
    // Views are widgets the frame owns; they leave the document before it goes.
    views_.clear();
    delete splitter_;
}

void FramePanes::setWindowBars(QToolBar* mainBar, QToolBar* previewBar)
{
    mainBar_ = mainBar;
    previewBar_ = previewBar;
}

void FramePanes::panesChanged()
{
    commands_.inputsChanged(CommandInput::Panes);
}

void FramePanes::build()
{
    splitter_ = new QSplitter(Qt::Horizontal, &window_);
    splitter_->setObjectName(QStringLiteral("MainSplitter"));
    splitter_->setChildrenCollapsible(false);

    leftPane_ = new QWidget(splitter_);
    auto* left = new QVBoxLayout(leftPane_);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    leftTitle_ = new QLabel(leftPane_);
    leftTitle_->setObjectName(QStringLiteral("ShotListPaneTitle"));
    leftTitle_->setMargin(3);
    left->addWidget(leftTitle_);
    contentsBar_ = new QToolBar(leftPane_);
    for (int id : {Cmd::Replay, Cmd::Sightings, Cmd::AllTraces})
        commands_.addButton(contentsBar_, id);
    left->addWidget(contentsBar_);

    auto* right = new QWidget(splitter_);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    viewBar_ = new QToolBar(right);
    for (int id : kViewCommands)
        commands_.addButton(viewBar_, id);
    rightLayout->addWidget(viewBar_);
    viewStack_ = new QStackedWidget(right);
    // Shown while no view is visible: an empty area, not a view.
    emptyView_ = new QWidget(viewStack_);
    viewStack_->addWidget(emptyView_);
    rightLayout->addWidget(viewStack_, 1);

    // A view that did not attach itself to the document is attached here.
    auto attach = [this](QWidget* view) {
        if (auto* v = dynamic_cast<CView*>(view); v && !v->document())
            doc_.AddView(v);
    };
    for (const ViewRegistration& r : registeredViews()) {
        if (r.id == ViewId::SeriesTable) {
            seriesTable_ = r.create(doc_, leftPane_);
            if (seriesTable_) {
                attach(seriesTable_);
                left->addWidget(seriesTable_, 1);
            }
            continue;
        }
        QWidget* view = r.create(doc_, viewStack_);
        if (!view)
            continue;
        attach(view);
        view->hide();
        viewStack_->addWidget(view);
        views_[r.commandId] = view;
    }
    if (!seriesTable_)
        left->addStretch(1);
    splitter_->setStretchFactor(1, 1);
    leftPane_->hide();
    window_.setCentralWidget(splitter_);
}

// --- views -----------------------------------------------------------------------------------

QWidget* FramePanes::viewForCommand(int command) const
{
    auto it = views_.find(command);
    return it == views_.end() ? nullptr : it->second.data();
}

void FramePanes::ShowView(int command)
{
    CommitPendingEdits();
    if (command != Cmd::ViewTrace)
        replay_.stopReplayAll();
    if (!kavro::theAppOptions().AdvancedMode && (command < Cmd::ViewInfo || command > Cmd::ViewDistance))
        return;
    QWidget* view = viewForCommand(command);
    if (!view)
        return;
    if (QWidget* previous = viewStack_->currentWidget(); previous && previous != view)
        previous->hide();
    viewStack_->setCurrentWidget(view);
    view->show(); // a view marked stale refreshes itself when shown
    visibleView_ = command;
    panesChanged();
}

void FramePanes::ShowDefaultView(bool rightPaneOnly)
{
    setBothPanes(!rightPaneOnly && shotListPaneAllowed(kavro::theAppOptions().AdvancedMode, doc_.HasDocument()));
    if (viewForCommand(Cmd::ViewInfo)) {
        ShowView(Cmd::ViewInfo);
    } else {
        viewStack_->setCurrentWidget(emptyView_);
        visibleView_ = 0;
        panesChanged();
    }
}

void FramePanes::focusViewPane()
{
    if (shotListPaneShown() && viewStack_->currentWidget())
        viewStack_->currentWidget()->setFocus();
}

bool FramePanes::shotListPaneShown() const
{
    return leftPane_ && leftPane_->isVisibleTo(&window_);
}

bool FramePanes::seriesMode() const
{
    auto* modes = dynamic_cast<CSeriesTableMode*>(seriesTable_);
    return modes && modes->IsSeriesMode();
}

void FramePanes::setBothPanes(bool both)
{
    if (!leftPane_)
        return;
    if (both && !seriesTable_)
        return;
    if (both == shotListPaneShown())
        return;
    if (!both && leftPane_->width() > 0)
        splitterPos_ = leftPane_->width();
    leftPane_->setVisible(both);
    if (both)
        splitter_->setSizes({splitterPos_, std::max(1, splitter_->width() - splitterPos_)});
    panesChanged();
}

void FramePanes::OnShotListCommand(int command)
{
    auto* modes = dynamic_cast<CSeriesTableMode*>(seriesTable_);
    if (!modes)
        return;
    const bool wantSeries = command == Cmd::Series;
    if (shotListPaneShown() && modes->IsSeriesMode() == wantSeries) {
        setBothPanes(false);
    } else {
        setBothPanes(true);
        modes->SetSeriesMode(wantSeries);
        panesChanged();
    }
    seriesTable_->setFocus();
    SetShotListPaneTitle();
}

void FramePanes::ToggleAllTraces()
{
    allTraces_ = !allTraces_;
    if (auto* modes = dynamic_cast<CSeriesTableMode*>(seriesTable_))
        modes->SetAllTraces(allTraces_);
    panesChanged();
}

void FramePanes::SetShotListPaneTitle()
{
    const QString s = uiText(seriesMode() ? Cmd::Series : Cmd::ShotList);
    if (s.count(QLatin1Char('\n')) >= 2)
        leftTitle_->setText(s.section(QLatin1Char('\n'), 1, 1));
}

void FramePanes::CommitPendingEdits()
{
    for (const auto& [command, view] : views_)
        if (auto* extras = dynamic_cast<CFrameViewExtras*>(view.data()))
            extras->CommitPendingEdits();
    if (auto* extras = dynamic_cast<CFrameViewExtras*>(seriesTable_))
        extras->CommitPendingEdits();
}

void FramePanes::setTargetZoom(int zoom)
{
    for (QWidget* w : {viewForCommand(Cmd::ViewInfo), seriesTable_})
        if (auto* extras = dynamic_cast<CFrameViewExtras*>(w))
            extras->SetTargetZoom(zoom);
}

void FramePanes::reloadViewSettings(uint32_t mask)
{
    auto reload = [](QWidget* view) {
        if (auto* extras = dynamic_cast<CFrameViewExtras*>(view))
            extras->ReloadSettings();
    };
    if (mask & (kavro::kChangeReplaySpeed | kavro::kChangeTraceColors))
        reload(viewForCommand(Cmd::ViewTrace));
    if (mask & (kavro::kChangeShotList | kavro::kChangeTraceColors))
        reload(seriesTable_);
    if (mask & kavro::kChangeTraceColors)
        reload(viewForCommand(Cmd::ViewInfo));
    if (mask & (kavro::kChangePrint | kavro::kChangeShotList))
        refreshPreview();
}

// --- print preview ---------------------------------------------------------------------------

bool FramePanes::toolBarShown() const
{
    return mainBar_->isVisibleTo(&window_) || (previewOpen_ && !barsBeforePreview_.isEmpty());
}

void FramePanes::OpenPreview()
{
    if (previewOpen_ || !reportPrinting())
        return;
    preview_ = reportPrinting()->CreatePreview(doc_, &window_);
    if (!preview_)
        return;
    previewOpen_ = true;
    // The preview takes the place of the panes and its bar that of the menu and the tool bar.
    barsBeforePreview_ = window_.saveState();
    splitter_->hide();
    window_.takeCentralWidget(); // still owned through splitter_
    window_.setCentralWidget(preview_);
    window_.menuBar()->hide();
    mainBar_->hide();
    previewBar_->show();
    commands_.inputsChanged(CommandInput::Preview);
}

void FramePanes::ClosePreview()
{
    if (!previewOpen_)
        return;
    previewOpen_ = false;
    delete window_.takeCentralWidget(); // the preview
    preview_ = nullptr;
    window_.setCentralWidget(splitter_);
    splitter_->show();
    previewBar_->hide();
    window_.menuBar()->show();
    if (!barsBeforePreview_.isEmpty())
        window_.restoreState(barsBeforePreview_);
    barsBeforePreview_.clear();
    commands_.inputsChanged(CommandInput::Preview);
}

void FramePanes::showPreviewPage(int step)
{
    if (preview_)
        reportPrinting()->ShowPage(preview_, step);
}

void FramePanes::refreshPreview()
{
    // Without an open preview the laid-out report is still dropped, or the next preview would
    // show the practice as it was.
    if (reportPrinting())
        reportPrinting()->RefreshPreview(previewOpen_ ? preview_ : nullptr);
}

// --- window ----------------------------------------------------------------------------------

void FramePanes::ToggleFullScreen()
{
    if (!fullScreen_) {
        wasMaximized_ = window_.isMaximized();
        fullScreen_ = true;
        window_.showFullScreen();
    } else {
        fullScreen_ = false;
        if (wasMaximized_)
            window_.showMaximized();
        else
            window_.showNormal();
    }
    panesChanged();
}

void FramePanes::RestoreLayout()
{
    const FrameLayout l = loadFrameLayout(kavro::OpenAppRegistryKey());
    startZoomed_ = l.zoomed;
    splitterPos_ = l.splitterPos;
    if (!l.barState.isEmpty())
        window_.restoreState(l.barState); // a damaged state is refused whole
    mainBar_->setVisible(l.toolBar);
    window_.statusBar()->setVisible(l.statusBar);
    if (l.windowRect)
        window_.setGeometry(clampToCurrentScreens(*l.windowRect));
    else if (const QScreen* s = QGuiApplication::primaryScreen())
        window_.setGeometry(defaultFrameRect(s->availableGeometry()));
    commands_.inputsChanged(CommandInput::Bars);
}

void FramePanes::SaveLayout()
{
    FrameLayout l;
    l.zoomed = fullScreen_ ? wasMaximized_ : window_.isMaximized();
    if (!fullScreen_)
        l.windowRect = window_.normalGeometry().isValid() ? window_.normalGeometry() : window_.geometry();
    else
        l.windowRect = loadFrameLayout(kavro::OpenAppRegistryKey()).windowRect;
    if (previewOpen_)
        ClosePreview();
    l.toolBar = mainBar_->isVisibleTo(&window_);
    l.statusBar = window_.statusBar()->isVisibleTo(&window_);
    l.splitterPos = shotListPaneShown() && leftPane_->width() > 0 ? leftPane_->width() : splitterPos_;
    l.barState = window_.saveState();
    saveFrameLayout(kavro::OpenAppRegistryKey(), l);
}
