#pragma once
// The six analysis chart views of the view switcher. Each is a thin widget over the chart data
// functions: it gathers the document wrapper's state, recalculates on the hints that concern it
// (only remembering them while hidden) and repaints its chart windows.
#include "chart_data.h"
#include "chart_window.h"
#include "document_base.h"
#include "hidden_refresh.h"

#include <QWidget>

#include <memory>
#include <utility>

class CKavroDoc;
class QCheckBox;
class QSplitter;
class QLabel;

namespace kavro::charts {

// What every chart view shares: the document link, the pending recalculation flags and the boxes
// over the charts ("Control interval 2", "Fraction mode").
class CChartViewBase : public QWidget, public CView {
public:
    enum Pending : unsigned {
        kDocument = 1,
        kModel = 2,
        kFrame = 4,
        kCurrent = 8,
        kSelection = 16,
        kCaptions = 32,
        kEverything = kDocument | kModel | kFrame | kCurrent,
    };

    CChartViewBase(CKavroDoc& doc, QWidget* parent);
    ~CChartViewBase() override;

    void OnDocumentUpdate(CView* sender, int hint, const KavroHint::Payload& payload) override;
    // Runs the recalculations that waited while the view was hidden (also before printing).
    void RefreshIfNeeded();
    // The chart windows, top first (the printed report draws them).
    virtual std::vector<CChartWindow*> chartWindows() = 0;

    ChartContext context() const;
    CKavroDoc& doc() const { return doc_; }

protected:
    // The flags a hint asks for; 0 for hints the view ignores.
    virtual unsigned flagsForHint(int hint, IAiming* aiming) = 0;
    virtual void recalculate(unsigned flags) = 0;
    // Captions and series names in the interface language, and the fonts.
    virtual void reloadTexts() = 0;

    void request(unsigned flags);
    // Makes `child` fill the view.
    void fillWith(QWidget* child);
    void repaintCharts();
    // The shared box, placed in the top-right corner of `host`.
    QCheckBox* addControlInterval2Box(QWidget* host);
    // The "Fraction mode" box on `host`, left of the shared box when both are shown; a click
    // recalculates `flags`.
    void addFractionBox(QWidget* host, unsigned flags);
    bool fractionMode() const;
    // Puts a box at the top right of its parent, `gap` units left of `rightOf` when given.
    static void placeTopRight(QCheckBox* box, QCheckBox* rightOf = nullptr, int gap = 10);
    bool aimingHasShots(IAiming* aiming, bool matchOnly) const;

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Places the boxes and keeps every chart's drawing clear of them.
    void placeBoxes();
    // Fills the view with two charts, one above the other, whose bar goes to numerator/denominator
    // of the free height on every resize.
    std::pair<CChartWindow*, CChartWindow*> fillWithChartPair(int numerator, int denominator);

    QCheckBox* controlInterval2_ = nullptr;
    QCheckBox* fraction_ = nullptr;

private:
    CKavroDoc& doc_;
    // Recalculations report on the status bar of the frame showing the document.
    std::unique_ptr<ChartProgress> progress_;
    HiddenRefresh refresh_;
    QSplitter* barSplitter_ = nullptr;
    int barNumerator_ = 1, barDenominator_ = 2;
};

// A view whose one chart fills it.
class CSingleChartView : public CChartViewBase {
public:
    std::vector<CChartWindow*> chartWindows() override { return {chart_}; }

protected:
    CSingleChartView(CKavroDoc& doc, QWidget* parent);

    CChartWindow* chart_;
};

// A view of two charts, one above the other, whose bar goes to numerator/denominator of the free
// height on every resize.
class CChartPairView : public CChartViewBase {
public:
    std::vector<CChartWindow*> chartWindows() override { return {top_, bottom_}; }

protected:
    CChartPairView(CKavroDoc& doc, QWidget* parent, int numerator, int denominator);

    CChartWindow* top_;
    CChartWindow* bottom_;
};

class CDistanceView final : public CChartPairView {
public:
    CDistanceView(CKavroDoc& doc, QWidget* parent = nullptr);

protected:
    unsigned flagsForHint(int hint, IAiming* aiming) override;
    void recalculate(unsigned flags) override;
    void reloadTexts() override;
};

class CCoordinationView final : public CSingleChartView {
public:
    CCoordinationView(CKavroDoc& doc, QWidget* parent = nullptr);
    const CoordinationState& state() const { return state_; }

protected:
    unsigned flagsForHint(int hint, IAiming* aiming) override;
    void recalculate(unsigned flags) override;
    void reloadTexts() override;

private:
    CoordinationState state_;
};

class CTimeShiftView final : public CSingleChartView {
public:
    CTimeShiftView(CKavroDoc& doc, QWidget* parent = nullptr);

protected:
    unsigned flagsForHint(int hint, IAiming* aiming) override;
    void recalculate(unsigned flags) override;
    void reloadTexts() override;

private:
    TimeShiftState state_;
};

class CSpeedView final : public CChartPairView {
public:
    CSpeedView(CKavroDoc& doc, QWidget* parent = nullptr);

protected:
    unsigned flagsForHint(int hint, IAiming* aiming) override;
    void recalculate(unsigned flags) override;
    void reloadTexts() override;

private:
    SpeedState state_;
};

class CTimeIntervalsView final : public CChartViewBase {
public:
    CTimeIntervalsView(CKavroDoc& doc, QWidget* parent = nullptr);
    std::vector<CChartWindow*> chartWindows() override { return {chart_}; }
    CAdvancedChartWindow* chart() const { return chart_; }
    QWidget* shotPane() const { return pane_; }
    // A click on a bar: selects that match shot.
    void OnSeriesClicked(int seriesId);

protected:
    unsigned flagsForHint(int hint, IAiming* aiming) override;
    void recalculate(unsigned flags) override;
    void reloadTexts() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QSplitter* splitter_;
    CAdvancedChartWindow* chart_;
    QWidget* pane_;
    QLabel* paneTitle_;
    IntervalsState state_;
    bool paneSized_ = false;
};

class CProbabilityView final : public CChartPairView {
public:
    CProbabilityView(CKavroDoc& doc, QWidget* parent = nullptr);

protected:
    unsigned flagsForHint(int hint, IAiming* aiming) override;
    void recalculate(unsigned flags) override;
    void reloadTexts() override;
};

} // namespace kavro::charts
