#include "series_view.h"

#include "app_options.h"
#include "doc_helpers.h"
#include "main_frame_base.h"
#include "series_document.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

#include <cmath>

using namespace kavro;
using namespace kavro::series;

namespace {

// A shot chosen by key reaches the document only once the key rests this long, so that holding
// an arrow key does not redraw every other view at each step.
constexpr int kKeyboardDelayMs = 500;

constexpr OLE_COLOR kWhite = 0x00FFFFFF;
constexpr OLE_COLOR kBlack = 0x00000000;

float absMax(float a, float b)
{
    return std::max(a, std::fabs(b));
}

} // namespace

// ----- series window

CSerieWindow::CSerieWindow(CSeriesView* table, QWidget* parent) : QWidget(parent)
{
    TargetEventHandlers h;
    h.selectionChanged = [this, table] { table->OnSerieSelection(this); };
    h.dblClick = [this, table](float, float) { table->OnSerieDblClick(this); };
    h.rightClick = [this, table](float, float) { table->OnSerieRightClick(this); };
    if (host_.create(this, h)) {
        host_.widget()->installEventFilter(table);
        host_.widget()->show();
    }
}

void CSerieWindow::resizeEvent(QResizeEvent*)
{
    if (QWidget* w = host_.widget())
        w->setGeometry(rect());
}

// ----- table

CSeriesView::CSeriesView(CKavroDoc& doc, QWidget* parent) : QAbstractScrollArea(parent), doc_(doc)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(true);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(pal);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    keyTimer_.setSingleShot(true);
    keyTimer_.setInterval(kKeyboardDelayMs);
    connect(&keyTimer_, &QTimer::timeout, this, [this] { OnKeyboardTimer(); });
    table_.columns = visibleColumns(theAppOptions(), false);
    LoadTexts();
    doc.AddView(this);
}

CSeriesView::~CSeriesView()
{
    if (document())
        document()->RemoveView(this);
    ClearWindows();
}

void CSeriesView::LoadTexts()
{
    texts_ = loadTableTexts();
}

RowContext CSeriesView::rowContext()
{
    return rowContextOf(doc_, table_.columns);
}

QString CSeriesView::docText()
{
    return positionTextOf(doc_);
}

std::vector<CSerieWindow*> CSeriesView::seriesWindows(int group) const
{
    std::vector<CSerieWindow*> out;
    for (const auto& w : windows_[size_t(group)])
        out.push_back(w.get());
    return out;
}

void CSeriesView::ClearWindows()
{
    for (auto& list : windows_)
        list.clear();
}

CSerieWindow* CSeriesView::CreateSerieWindow(int group, const Serie& serie)
{
    auto w = std::make_unique<CSerieWindow>(this, viewport());
    if (!w->ok())
        return nullptr;
    ITarget* t = w->target();
    const AppOptions& o = theAppOptions();
    ComPtr<IEventParams> event;
    doc_.GetEvent(&event);
    t->put_EnableUpdate(VARIANT_FALSE);
    t->put_Event(event.get());
    t->put_DisplayTrace(toVariantBool(allTraces_));
    t->put_TraceThickness(0.0f);
    t->put_Match(toVariantBool(group == 1));
    // The caption sits on the shaded corner of the target: the biathlon form is white there, the
    // zoomed ring targets dark.
    t->put_LabelColor(table_.biathlon ? kBlack : kWhite);
    t->put_BreachColor(o.BreachColor);
    t->put_SelectedBreachColor(o.SelectedBreachColor);
    if (!serie.aimings.empty()) {
        ComPtr<IAimingAttr> attr;
        int32_t sub = 1;
        if (SUCCEEDED(serie.aimings.front()->get_Attr(attr.put())) && attr && SUCCEEDED(attr->get_SubTarget(&sub)))
            t->put_SubTarget(sub);
    }
    for (const ComPtr<IAiming>& a : serie.aimings)
        t->Add(a.get());
    t->put_SelectedShot(current_.get());
    t->put_EnableUpdate(VARIANT_TRUE);
    CSerieWindow* raw = w.get();
    windows_[size_t(group)].push_back(std::move(w));
    return raw;
}

void CSeriesView::BuildRows()
{
    ClearWindows();
    if (!buildFromDocument(table_, doc_, rowContext())) {
        UpdateGroupVisibility();
        Layout(false);
        return;
    }
    for (int g = 0; g < 2; ++g)
        for (const Serie& s : table_.groups[size_t(g)].series)
            if (!CreateSerieWindow(g, s)) {
                // A table with some series missing would misnumber the rest: show none.
                ClearWindows();
                table_.clear();
                break;
            }
    table_.select(current_.get());
    UpdateGroupVisibility();
    FormatGroup(0);
    FormatGroup(1);
    ZoomSeriesTargets(0);
    ZoomSeriesTargets(1);
    Layout(true);
}

void CSeriesView::FormatGroup(int g)
{
    table_.format(g, texts_, docText());
    table_.select(current_.get());
    const auto& series = table_.groups[size_t(g)].series;
    const auto& windows = windows_[size_t(g)];
    for (size_t i = 0; i < series.size() && i < windows.size(); ++i) {
        ITarget* t = windows[i]->target();
        t->put_Label(1, seriesCaption(int(i) + 1, series[i].totals));
        if (!table_.biathlon) {
            t->ClearElements();
            if (series[i].totals.count > 0)
                AddMarkCross(t, float(series[i].totals.breachX), float(series[i].totals.breachY));
        }
    }
}

void CSeriesView::ZoomSeriesTargets(int g)
{
    ComPtr<IEventParams> event;
    if (!doc_.GetEvent(&event))
        return;
    ComPtr<ITargetParams> params;
    event->get_Target(1, params.put());
    float hw = 0, hh = 0;
    if (table_.biathlon) {
        if (params) {
            params->get_FormWidth(&hw);
            params->get_FormHeight(&hh);
        }
        hw /= 2;
        hh /= 2;
    } else {
        float x = 0, y = 0;
        for (const Serie& s : table_.groups[size_t(g)].series) {
            if (allTraces_)
                for (const ComPtr<IAiming>& a : s.aimings) {
                    ComPtr<IRange> r;
                    float l = 0, t = 0, rr = 0, b = 0;
                    if (SUCCEEDED(a->Range(0, 0, r.put())) && r && SUCCEEDED(r->GetBounds(&l, &t, &rr, &b))) {
                        x = absMax(absMax(x, l), rr);
                        y = absMax(absMax(y, t), b);
                    }
                }
            for (const StatRow& row : s.rows)
                if (row.shot && !row.values.missed) {
                    x = absMax(x, row.values.breachX);
                    y = absMax(y, row.values.breachY);
                }
        }
        float caliber = 0;
        event->get_DisplayCaliber(&caliber);
        if (caliber == 0)
            event->get_Caliber(&caliber);
        const QSizeF half
            = commonHalfExtent(event.get(), x + caliber / 2, y + caliber / 2, theAppOptions().AdvancedMode);
        hw = float(half.width());
        hh = float(half.height());
    }
    if (!(hw > 0) || !(hh > 0))
        return;
    for (const auto& w : windows_[size_t(g)])
        w->target()->ZoomTo(-hw, -hh, 2 * hw, 2 * hh);
}

void CSeriesView::UpdateGroupVisibility()
{
    showGroupsOf(table_, doc_);
    for (int g = 0; g < 2; ++g)
        for (const auto& w : windows_[size_t(g)])
            w->setVisible(table_.groups[size_t(g)].visible);
}

void CSeriesView::OnShotAdded(IAiming* aiming, IShot* shot)
{
    if (!shot || !doc_.HasDocument())
        return;
    const SeriesTable::Placement p = table_.addShot(aiming, shot, rowContext());
    Serie& serie = table_.groups[size_t(p.group)].series[size_t(p.serie)];
    if (p.created) {
        if (!CreateSerieWindow(p.group, serie)) {
            BuildRows();
            return;
        }
    } else if (size_t(p.serie) < windows_[size_t(p.group)].size()) {
        windows_[size_t(p.group)][size_t(p.serie)]->target()->Add(aiming);
    }
    UpdateGroupVisibility();
    FormatGroup(p.group);
    ZoomSeriesTargets(p.group);
    Layout(true);
}

// ----- layout

const QFont& CSeriesView::cellFont(CellFont which) const
{
    return painter_.font(which);
}

void CSeriesView::Layout(bool refreshControls)
{
    if (shotListMode_)
        LayoutShotList(refreshControls);
    else
        LayoutGrid(refreshControls);
}

void CSeriesView::LayoutShotList(bool refreshControls)
{
    float ratio = 1.0f;
    ComPtr<IEventParams> event;
    ComPtr<ITargetParams> params;
    if (doc_.GetEvent(&event) && SUCCEEDED(event->get_Target(1, params.put())) && params) {
        float w = 0, h = 0;
        params->get_FormWidth(&w);
        params->get_FormHeight(&h);
        if (w > 0)
            ratio = h / w;
    }
    const int clientWidth = viewport()->width();
    layout_ = layoutShotList(table_, clientWidth, painter_.lineHeight(), ratio,
                             [this](const Cell& c, CellFont f) { return painter_.measure(c, f); });
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, layout_.extent.height() - viewport()->height()));
    v->setPageStep(pageStep(viewport()->height()));
    v->setSingleStep(kLineStep);
    v->setEnabled(layout_.extent.height() > viewport()->height());
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, layout_.extent.width() - clientWidth));
    h->setPageStep(pageStep(clientWidth));
    h->setSingleStep(kLineStep);
    PositionControls(refreshControls);
    viewport()->update();
}

void CSeriesView::PositionControls(bool refreshControls)
{
    const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
    for (int g = 0; g < 2; ++g) {
        const auto& series = table_.groups[size_t(g)].series;
        const auto& windows = windows_[size_t(g)];
        for (size_t i = 0; i < series.size() && i < windows.size(); ++i) {
            windows[i]->setGeometry(series[i].controlRect.translated(-offset));
            if (refreshControls)
                windows[i]->target()->Refresh();
        }
    }
}

void CSeriesView::LayoutGrid(bool refreshControls)
{
    std::vector<CSerieWindow*> shown;
    for (int g = 0; g < 2; ++g)
        for (size_t i = 0; i < windows_[size_t(g)].size(); ++i)
            if (table_.groups[size_t(g)].visible)
                shown.push_back(windows_[size_t(g)][i].get());
    if (shown.empty())
        return;
    verticalScrollBar()->setRange(0, 0);
    horizontalScrollBar()->setRange(0, 0);
    const std::vector<QRect> rects = gridRects(int(shown.size()), viewport()->width(), viewport()->height());
    for (size_t i = 0; i < shown.size() && i < rects.size(); ++i) {
        shown[i]->setGeometry(rects[i]);
        if (refreshControls)
            shown[i]->target()->Refresh();
    }
    viewport()->update();
}

void CSeriesView::SetShotListMode(bool on)
{
    if (on == shotListMode_)
        return;
    shotListMode_ = on;
    UpdateGroupVisibility();
    setVerticalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    Layout(false);
}

// The traces widen what the targets must show, so each group is zoomed again.
void CSeriesView::SetAllTraces(bool on)
{
    if (on == allTraces_)
        return;
    allTraces_ = on;
    for (int g = 0; g < 2; ++g) {
        for (const auto& w : windows_[size_t(g)]) {
            w->target()->put_EnableUpdate(VARIANT_FALSE);
            w->target()->put_DisplayTrace(toVariantBool(on));
        }
        ZoomSeriesTargets(g);
        for (const auto& w : windows_[size_t(g)])
            w->target()->put_EnableUpdate(VARIANT_TRUE);
    }
}

void CSeriesView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    Layout(false);
}

void CSeriesView::scrollContentsBy(int, int)
{
    if (!shotListMode_)
        return;
    PositionControls(false);
    viewport()->update();
}

// ----- painting

void CSeriesView::paintEvent(QPaintEvent* event)
{
    QPainter p(viewport());
    p.fillRect(event->rect(), Qt::white);
    if (!shotListMode_)
        return;
    p.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    const QRect clip = event->rect().translated(horizontalScrollBar()->value(), verticalScrollBar()->value());
    painter_.paint(p, table_, clip, *this);
}

// ----- selection

void CSeriesView::SetCurrentShot(IShot* shot, bool fromKeyboard)
{
    current_ = shot;
    const StatRow* row = table_.select(shot);
    for (const auto& list : windows_)
        for (const auto& w : list)
            w->target()->put_SelectedShot(shot);
    if (row && shotListMode_) {
        QScrollBar* v = verticalScrollBar();
        v->setValue(
            scrollToShow(v->value(), viewport()->height(), row->rect.top(), row->rect.y() + row->rect.height()));
    }
    viewport()->update();
    if (fromKeyboard) {
        keyShot_ = shot;
        keyTimer_.start();
    }
}

void CSeriesView::OnKeyboardTimer()
{
    keyTimer_.stop();
    ComPtr<IShot> shot = std::move(keyShot_);
    if (shot)
        doc_.SetSelectedShot(shot.get(), this);
}

void CSeriesView::SelectFromTable(IShot* shot)
{
    if (!shot)
        return;
    keyTimer_.stop();
    SetCurrentShot(shot, false);
    doc_.SetSelectedShot(shot, this);
}

void CSeriesView::OnSerieSelection(CSerieWindow* window)
{
    ComPtr<IShot> shot;
    if (window && window->target() && SUCCEEDED(window->target()->get_SelectedShot(shot.put())) && shot)
        SelectFromTable(shot.get());
}

void CSeriesView::OnSerieDblClick(CSerieWindow* window)
{
    OnSerieSelection(window);
    if (current_)
        doc_.StartReplay();
}

// The control has already selected the shot under the click: the menu is for that shot.
void CSeriesView::OnSerieRightClick(CSerieWindow* window)
{
    OnSerieSelection(window);
    ShowContextMenu(QCursor::pos());
}

void CSeriesView::ShowContextMenu(const QPoint& globalPos)
{
    if (!current_)
        return;
    if (CMainFrameBase* frame = CMainFrameBase::of(doc_))
        frame->ShowShotContextMenu(globalPos);
}

// ----- input

void CSeriesView::keyPressEvent(QKeyEvent* event)
{
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Up: step = NavigateStep::Previous; break;
    case Qt::Key_Down: step = NavigateStep::Next; break;
    case Qt::Key_PageUp: step = NavigateStep::SeriesBack; break;
    case Qt::Key_PageDown: step = NavigateStep::SeriesForward; break;
    case Qt::Key_Home: step = NavigateStep::First; break;
    case Qt::Key_End: step = NavigateStep::Last; break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    ComPtr<IShot> next;
    if (doc_.Navigate(current_.get(), &next, step) && next)
        SetCurrentShot(next.get(), true);
}

void CSeriesView::mousePressEvent(QMouseEvent* event)
{
    setFocus();
    const QPoint pt = event->pos() + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const StatRow* row = shotListMode_ ? table_.hitTest(pt) : nullptr;
    if (!row)
        return;
    ComPtr<IShot> shot = row->shot;
    SelectFromTable(shot.get());
    if (event->button() == Qt::RightButton)
        ShowContextMenu(event->globalPosition().toPoint());
}

void CSeriesView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint pt = event->pos() + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const StatRow* row = shotListMode_ ? table_.hitTest(pt) : nullptr;
    if (!row || event->button() != Qt::LeftButton)
        return;
    ComPtr<IShot> shot = row->shot;
    SelectFromTable(shot.get());
    doc_.StartReplay();
}

void CSeriesView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pt = event->pos() + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    viewport()->setCursor(shotListMode_ && table_.hitTest(pt) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void CSeriesView::wheelEvent(QWheelEvent* event)
{
    const int pixels = wheel_.add(event->angleDelta().y(), QApplication::wheelScrollLines());
    if (pixels)
        verticalScrollBar()->setValue(verticalScrollBar()->value() + pixels);
    event->accept();
}

void CSeriesView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void CSeriesView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void CSeriesView::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() != QContextMenuEvent::Mouse)
        ShowContextMenu(event->globalPos());
}

bool CSeriesView::eventFilter(QObject* watched, QEvent* event)
{
    // A click into a series target gives the keyboard to the table.
    if (event->type() == QEvent::MouseButtonPress)
        setFocus(Qt::MouseFocusReason);
    return QAbstractScrollArea::eventFilter(watched, event);
}

// ----- frame extras

void CSeriesView::SetTargetZoom(int zoom)
{
    for (const auto& list : windows_)
        for (const auto& w : list)
            w->target()->put_Zoom(float(zoom));
}

void CSeriesView::ApplyBreachColors()
{
    const AppOptions& o = theAppOptions();
    for (const auto& list : windows_)
        for (const auto& w : list) {
            w->target()->put_BreachColor(o.BreachColor);
            w->target()->put_SelectedBreachColor(o.SelectedBreachColor);
            w->target()->Refresh();
        }
}

void CSeriesView::ReloadSettings()
{
    table_.columns = visibleColumns(theAppOptions(), doc_.GetTargetKind() == TargetKind::Biathlon);
    ApplyBreachColors();
    BuildRows();
}

// ----- hints

void CSeriesView::RefreshIfNeeded()
{
    // Printing refreshes a hidden table too.
    refresh_.catchUp([this](unsigned owed) {
        if (owed & kEverything) {
            OnDocumentUpdate(nullptr, KavroHint::Everything, {});
        } else {
            table_.columns = visibleColumns(theAppOptions(), doc_.GetTargetKind() == TargetKind::Biathlon);
            BuildRows();
        }
        ComPtr<IShot> shot;
        doc_.GetSelectedShot(&shot);
        SetCurrentShot(shot.get(), false);
    });
}

void CSeriesView::showEvent(QShowEvent* event)
{
    QAbstractScrollArea::showEvent(event);
    RefreshIfNeeded();
}

void CSeriesView::OnDocumentUpdate(CView* sender, int hint, const KavroHint::Payload& payload)
{
    if (refresh_.defers(*this)) {
        switch (hint) {
        case KavroHint::Everything: refresh_.owe(kEverything); return;
        case KavroHint::Language: LoadTexts(); [[fallthrough]];
        case KavroHint::SelectedShot:
        case KavroHint::IncludeSightings:
        case KavroHint::ShotParameters:
        case KavroHint::ShotAdded:
        case KavroHint::AdvancedMode: refresh_.owe(kRows); return;
        default: break;
        }
    }
    switch (hint) {
    case KavroHint::Everything:
        table_.columns = visibleColumns(theAppOptions(), doc_.GetTargetKind() == TargetKind::Biathlon);
        current_ = nullptr;
        BuildRows();
        if (doc_.GetTargetKind() == TargetKind::Biathlon)
            SetShotListMode(true);
        break;
    case KavroHint::Language:
        LoadTexts();
        BuildRows();
        break;
    case KavroHint::SelectedShot:
        if (sender != this) {
            ComPtr<IShot> shot;
            doc_.GetSelectedShot(&shot);
            keyTimer_.stop();
            SetCurrentShot(shot.get(), false);
        }
        break;
    case KavroHint::IncludeSightings:
        UpdateGroupVisibility();
        Layout(false);
        break;
    case KavroHint::ShotParameters: {
        UpdateGroupVisibility();
        const RowContext ctx = rowContext();
        for (Group& g : table_.groups)
            for (Serie& s : g.series)
                for (StatRow& r : s.rows)
                    if (r.shot)
                        r.values = computeShotValues(r.aiming.get(), r.shot.get(), ctx);
        FormatGroup(0);
        FormatGroup(1);
        Layout(true);
        ZoomSeriesTargets(0);
        ZoomSeriesTargets(1);
        break;
    }
    case KavroHint::ShotAdded: {
        // Other shots moved too (recentred groups): every row changes.
        const auto* added = KavroHint::payloadOf<KavroHint::ShotAdded>(payload);
        if (added && added->othersMoved)
            BuildRows();
        else if (added)
            OnShotAdded(added->aiming, added->shot);
        break;
    }
    case KavroHint::AdvancedMode:
        table_.columns = visibleColumns(theAppOptions(), doc_.GetTargetKind() == TargetKind::Biathlon);
        BuildRows();
        break;
    default: break;
    }
}

KAVRO_REGISTER_VIEW(ViewId::SeriesTable, 0, [](CKavroDoc& d, QWidget* p) -> QWidget* { return new CSeriesView(d, p); });
