#pragma once
// What the frame's client area shows: the shot-list pane beside the analysis views, which view
// is visible, the print preview that takes their place, full screen, and the layout kept
// between runs.
#include <QByteArray>
#include <QPointer>

#include <cstdint>
#include <map>

class CKavroDoc;
class FrameCommands;
class QMainWindow;
class ReplayController;
class QLabel;
class QSplitter;
class QStackedWidget;
class QToolBar;
class QWidget;

class FramePanes {
public:
    // The panes fill `window`'s client area; their buttons are commands of `commands`.
    FramePanes(QMainWindow& window, CKavroDoc& doc, FrameCommands& commands, ReplayController& replay);
    ~FramePanes();

    // The panes with their tool bars and every registered view, hidden.
    void build();
    // The main tool bar (hidden in print preview) and the preview's own bar.
    void setWindowBars(QToolBar* mainBar, QToolBar* previewBar);

    void ShowView(int command);
    void ShowDefaultView(bool rightPaneOnly);
    int visibleView() const { return visibleView_; }
    QWidget* viewForCommand(int command) const;
    QWidget* seriesTable() const { return seriesTable_; }
    bool shotListPaneShown() const;
    bool seriesMode() const;
    bool allTraces() const { return allTraces_; }
    void setBothPanes(bool both);
    void OnShotListCommand(int command);
    void ToggleAllTraces();
    void SetShotListPaneTitle();
    // With the shot list beside it, the keyboard goes to the view.
    void focusViewPane();

    bool previewOpen() const { return previewOpen_; }
    // The tool bar counts as shown while the preview stands in its place.
    bool toolBarShown() const;
    void OpenPreview();
    void ClosePreview();
    void showPreviewPage(int step);
    void refreshPreview();

    bool fullScreen() const { return fullScreen_; }
    void ToggleFullScreen();

    void RestoreLayout();
    void SaveLayout();
    bool startsZoomed() const { return startZoomed_; }

    // Gives the document what the views hold typed but not yet taken.
    void CommitPendingEdits();
    void setTargetZoom(int zoom);
    // The views read some options only when they are made or told to reload them.
    void reloadViewSettings(uint32_t mask);

private:
    void panesChanged();

    QMainWindow& window_;
    CKavroDoc& doc_;
    FrameCommands& commands_;
    ReplayController& replay_;
    QSplitter* splitter_ = nullptr;
    QWidget* leftPane_ = nullptr;
    QLabel* leftTitle_ = nullptr;
    QToolBar* contentsBar_ = nullptr;
    QToolBar* viewBar_ = nullptr;
    QWidget* seriesTable_ = nullptr;
    QStackedWidget* viewStack_ = nullptr;
    QWidget* emptyView_ = nullptr;
    std::map<int, QPointer<QWidget>> views_; // by command id
    QToolBar* mainBar_ = nullptr;
    QToolBar* previewBar_ = nullptr;
    int visibleView_ = 0;
    int splitterPos_ = 250;
    bool startZoomed_ = false;
    bool previewOpen_ = false;
    bool fullScreen_ = false;
    bool wasMaximized_ = false;
    bool allTraces_ = false;
    QByteArray barsBeforePreview_;
    QWidget* preview_ = nullptr;
};
