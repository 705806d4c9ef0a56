#pragma once
// How the analysis views plug into the main frame. A view library registers each of its views
// from a static initialiser:
//
//     KAVRO_REGISTER_VIEW(ViewId::Trace, 32789, [](CKavroDoc& doc, QWidget* parent) -> QWidget* {
//         return new CTraceView(doc, parent);
//     });
//
// The frame creates every registered view once, hidden, in the view stack (the series table in
// the left pane), and shows the one whose command is chosen. A view whose library is not linked
// is not registered, and its command stays disabled. The widget the factory returns should also
// derive from CView to receive the hints (the frame attaches it to the document unless it did so
// itself); while hidden it should only remember that it must refresh and do so when shown.
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class CKavroDoc;

enum class ViewId {
    Info, // command 32788, F4
    Trace, // 32789, F5
    Distance, // 32790, F6
    Coordination, // 32791, F7
    Shift, // 32792, F8
    Speed, // 32793, F9
    Intervals, // 32794, F10
    Probability, // 32795, F11
    SeriesTable, // the left pane: shot list (32808) or series (32814)
};

using ViewFactory = std::function<QWidget*(CKavroDoc& doc, QWidget* parent)>;

struct ViewRegistration {
    ViewId id;
    int commandId; // 0 for the series table
    ViewFactory create;
};

// Adds a view; a second registration of the same id replaces the first. Returns true so that it
// can initialise a static.
bool registerView(ViewId id, int commandId, ViewFactory create);
void unregisterView(ViewId id); // for tests
const ViewRegistration* findView(ViewId id);
const std::vector<ViewRegistration>& registeredViews();

// Optional extras a view may implement for the frame's keyboard and option handling.
class CFrameViewExtras {
public:
    virtual ~CFrameViewExtras() = default;
    virtual void SetTargetZoom(int /*zoom 1..10*/) { }
    virtual void ReloadSettings() { }
    // Takes what the user typed and the view has not yet given to the document. The frame calls
    // it before anything that leaves the view or the document, so typed text is saved or asked
    // about like every other change.
    virtual void CommitPendingEdits() { }
};

// The series table's two modes, switched by the Shot list and Series commands, and whether its
// targets show the traces (the All traces command).
class CSeriesTableMode {
public:
    virtual ~CSeriesTableMode() = default;
    virtual bool IsSeriesMode() const = 0;
    virtual void SetSeriesMode(bool series) = 0;
    virtual void SetAllTraces(bool on) = 0;
};

// Printing plugs into the frame the same way: until it is registered, the print commands stay
// disabled. The preview is a widget the frame shows in place of its panes.
class CFramePrinting {
public:
    virtual ~CFramePrinting() = default;
    virtual void Print(CKavroDoc& doc, QWidget* parent) = 0; // the report of the practice
    virtual void PageSetup(QWidget* parent) = 0;
    virtual void PrintTarget(CKavroDoc& doc, QWidget* parent) = 0; // an empty target
    virtual void PrintShot(CKavroDoc& doc, QWidget* parent) = 0; // the selected shot
    virtual QWidget* CreatePreview(CKavroDoc& doc, QWidget* parent) = 0;
    virtual void ShowPage(QWidget* preview, int step) = 0; // -1 previous, +1 next page
    // The document changed: the report is dropped and laid out again into `preview` (null: none open).
    virtual void RefreshPreview(QWidget* preview) = 0;
};

// Registers (or, with null, removes) the program's printing. Returns true for static initialisers.
bool registerReportPrinting(std::unique_ptr<CFramePrinting> printing);
CFramePrinting* reportPrinting();

#define KAVRO_VIEW_CONCAT2(a, b) a##b
#define KAVRO_VIEW_CONCAT(a, b) KAVRO_VIEW_CONCAT2(a, b)
#define KAVRO_REGISTER_VIEW(id, commandId, factory)                                                                    \
    [[maybe_unused]] static const bool KAVRO_VIEW_CONCAT(kavroViewRegistered_, __LINE__)                               \
        = ::registerView(id, commandId, factory)
