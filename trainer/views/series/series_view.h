#pragma once
// The series table: the practice's shots in series, sighting and match apart, with a small target
// per series; a shot list with measures, footers and totals, or a grid of the series' targets.
#include "document_base.h"
#include "hidden_refresh.h"
#include "kavro_doc.h"
#include "series_painter.h"
#include "target_host.h"
#include "view_registry.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QTimer>

#include <memory>

class CSeriesView;

// The window of one series' target.
class CSerieWindow : public QWidget {
public:
    CSerieWindow(CSeriesView* table, QWidget* parent);
    bool ok() const { return host_.target() != nullptr; }
    ITarget* target() const { return host_.target(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CTargetHost host_;
};

class CSeriesView : public QAbstractScrollArea, public CView, public CFrameViewExtras, public CSeriesTableMode {
public:
    CSeriesView(CKavroDoc& doc, QWidget* parent);
    ~CSeriesView() override;

    void OnDocumentUpdate(CView* sender, int hint, const KavroHint::Payload& payload) override;

    // CFrameViewExtras
    void SetTargetZoom(int zoom) override;
    void ReloadSettings() override;
    // CSeriesTableMode
    bool IsSeriesMode() const override { return !shotListMode_; }
    void SetSeriesMode(bool series) override { SetShotListMode(!series); }
    void SetAllTraces(bool on) override;

    void SetShotListMode(bool on);
    void SetCurrentShot(IShot* shot, bool fromKeyboard);
    void ApplyBreachColors();

    const kavro::series::SeriesTable& table() const { return table_; }
    // The font each kind of cell is drawn (and so measured) with.
    const QFont& cellFont(kavro::series::CellFont which) const;
    IShot* currentShot() const { return current_.get(); }
    // The series controls of a group, in order.
    std::vector<CSerieWindow*> seriesWindows(int group) const;
    // The keyboard delay has passed: the document learns the shot chosen by key.
    void OnKeyboardTimer();
    bool keyboardTimerRunning() const { return keyTimer_.isActive(); }

    // Series controls tell the table what happened on them.
    void OnSerieSelection(CSerieWindow* window);
    void OnSerieDblClick(CSerieWindow* window);
    void OnSerieRightClick(CSerieWindow* window);

    // Rebuilds after hints that came while the table was hidden.
    void RefreshIfNeeded();
    bool isStale() const { return refresh_.owes(); }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadTexts();
    void BuildRows();
    void ClearWindows();
    CSerieWindow* CreateSerieWindow(int group, const kavro::series::Serie& serie);
    void OnShotAdded(IAiming* aiming, IShot* shot);
    void UpdateGroupVisibility();
    void FormatGroup(int group);
    void ZoomSeriesTargets(int group);
    void Layout(bool refreshControls);
    void LayoutShotList(bool refreshControls);
    void LayoutGrid(bool refreshControls);
    void PositionControls(bool refreshControls);
    void ShowContextMenu(const QPoint& globalPos);
    void SelectFromTable(IShot* shot);
    kavro::series::RowContext rowContext();
    QString docText();

    CKavroDoc& doc_;
    kavro::series::SeriesTable table_;
    kavro::series::TableTexts texts_;
    std::array<std::vector<std::unique_ptr<CSerieWindow>>, 2> windows_;
    kavro::series::ShotListPainter painter_;
    ComPtr<IShot> current_;
    ComPtr<IShot> keyShot_;
    QTimer keyTimer_;
    kavro::series::WheelAccumulator wheel_;
    bool shotListMode_ = true;
    bool allTraces_ = false;
    kavro::series::ListLayout layout_;
    // A rebuild of everything covers the rows; it also resets the current shot and, for biathlon,
    // the mode, as a new document does.
    enum Owed : unsigned { kRows = 1, kEverything = 2 };
    HiddenRefresh refresh_;
};
