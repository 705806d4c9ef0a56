#include "series_view.h"

#include "app_options.h"
#include "doc_helpers.h"
#include "main_frame_base.h"

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
    if (m_host.create(this, h)) {
        m_host.widget()->installEventFilter(table);
        m_host.widget()->show();
    }
}

void CSerieWindow::resizeEvent(QResizeEvent*)
{
    if (QWidget* w = m_host.widget())
        w->setGeometry(rect());
}

// ----- table

CSeriesView::CSeriesView(CKavroDoc& doc, QWidget* parent) : QAbstractScrollArea(parent), m_doc(doc)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(true);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(pal);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_keyTimer.setSingleShot(true);
    m_keyTimer.setInterval(kKeyboardDelayMs);
    connect(&m_keyTimer, &QTimer::timeout, this, [this] { OnKeyboardTimer(); });
    m_table.columns = visibleColumns(theAppOptions(), false);
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
    m_texts = loadTableTexts();
}

RowContext CSeriesView::rowContext()
{
    RowContext ctx;
    ComPtr<IEventParams> event;
    m_doc.GetEvent(&event);
    ctx.event = event.get(); // the document keeps its event while the table computes
    ctx.traceSeconds = m_doc.traceSeconds();
    ctx.fCoefficient = m_doc.fCoefficient();
    ctx.biathlon = m_doc.GetTargetKind() == TargetKind::Biathlon;
    ctx.aapShares = aimingPointSharesShown(m_table.columns);
    ctx.showHidden = m_doc.showHidden();
    return ctx;
}

QString CSeriesView::docText()
{
    QString text;
    m_doc.GetPositionName(&text);
    return text;
}

std::vector<CSerieWindow*> CSeriesView::seriesWindows(int group) const
{
    std::vector<CSerieWindow*> out;
    for (const auto& w : m_windows[size_t(group)])
        out.push_back(w.get());
    return out;
}

void CSeriesView::ClearWindows()
{
    for (auto& list : m_windows)
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
    m_doc.GetEvent(&event);
    t->put_EnableUpdate(VARIANT_FALSE);
    t->put_Event(event.get());
    t->put_DisplayTrace(toVariantBool(m_allTraces));
    t->put_TraceThickness(0.0f);
    t->put_Match(toVariantBool(group == 1));
    t->put_LabelColor(kWhite);
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
    t->put_SelectedShot(m_current.get());
    t->put_EnableUpdate(VARIANT_TRUE);
    CSerieWindow* raw = w.get();
    m_windows[size_t(group)].push_back(std::move(w));
    return raw;
}

void CSeriesView::BuildRows()
{
    ClearWindows();
    m_table.clear();
    ComPtr<IEventParams> event;
    if (!m_doc.HasDocument() || !m_doc.GetEvent(&event)) {
        UpdateGroupVisibility();
        Layout(false);
        return;
    }
    ComPtr<IShotCollection> sighting, match;
    ComPtr<IAimingCollection> sightingAimings, matchAimings;
    m_doc.GetSightingShots(&sighting);
    m_doc.GetMatchShots(&match);
    m_doc.GetSightingAimings(&sightingAimings);
    m_doc.GetMatchAimings(&matchAimings);
    int32_t perSerie = 10;
    event->get_MaxShotsPerSerie(&perSerie);
    m_table.build(sighting.get(), match.get(), sightingAimings.get(), matchAimings.get(), rowContext(), perSerie);
    for (int g = 0; g < 2; ++g)
        for (const Serie& s : m_table.groups[size_t(g)].series)
            if (!CreateSerieWindow(g, s)) {
                // A table with some series missing would misnumber the rest: show none.
                ClearWindows();
                m_table.clear();
                break;
            }
    m_table.select(m_current.get());
    UpdateGroupVisibility();
    FormatGroup(0);
    FormatGroup(1);
    ZoomSeriesTargets(0);
    ZoomSeriesTargets(1);
    Layout(true);
}

void CSeriesView::FormatGroup(int g)
{
    m_table.format(g, m_texts, docText());
    m_table.select(m_current.get());
    const auto& series = m_table.groups[size_t(g)].series;
    const auto& windows = m_windows[size_t(g)];
    for (size_t i = 0; i < series.size() && i < windows.size(); ++i) {
        ITarget* t = windows[i]->target();
        t->put_Label(1, seriesCaption(int(i) + 1, series[i].totals));
        if (!m_table.biathlon) {
            t->ClearElements();
            if (series[i].totals.count > 0)
                AddMarkCross(t, float(series[i].totals.breachX), float(series[i].totals.breachY));
        }
    }
}

void CSeriesView::ZoomSeriesTargets(int g)
{
    ComPtr<IEventParams> event;
    if (!m_doc.GetEvent(&event))
        return;
    ComPtr<ITargetParams> params;
    event->get_Target(1, params.put());
    float hw = 0, hh = 0;
    if (m_table.biathlon) {
        if (params) {
            params->get_FormWidth(&hw);
            params->get_FormHeight(&hh);
        }
        hw /= 2;
        hh /= 2;
    } else {
        float x = 0, y = 0;
        for (const Serie& s : m_table.groups[size_t(g)].series) {
            if (m_allTraces)
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
    for (const auto& w : m_windows[size_t(g)])
        w->target()->ZoomTo(-hw, -hh, 2 * hw, 2 * hh);
}

void CSeriesView::UpdateGroupVisibility()
{
    CMainFrameBase* f = CMainFrameBase::of(m_doc);
    const bool waiting = f && f->IsDeviceConnected() && !f->IsMatchStarted();
    m_table.groups[1].visible = m_doc.HasDocument() && !waiting;
    m_table.groups[0].visible = m_doc.HasDocument() && m_doc.includeSightings();
    for (int g = 0; g < 2; ++g) {
        Group& group = m_table.groups[size_t(g)];
        for (size_t i = 0; i < group.series.size(); ++i) {
            group.series[i].visible = group.visible;
            if (i < m_windows[size_t(g)].size())
                m_windows[size_t(g)][i]->setVisible(group.visible);
        }
    }
}

void CSeriesView::OnShotAdded(IAiming* aiming, IShot* shot)
{
    if (!shot || !m_doc.HasDocument())
        return;
    const SeriesTable::Placement p = m_table.addShot(aiming, shot, rowContext());
    Serie& serie = m_table.groups[size_t(p.group)].series[size_t(p.serie)];
    if (p.created) {
        if (!CreateSerieWindow(p.group, serie)) {
            BuildRows();
            return;
        }
    } else if (size_t(p.serie) < m_windows[size_t(p.group)].size()) {
        m_windows[size_t(p.group)][size_t(p.serie)]->target()->Add(aiming);
    }
    UpdateGroupVisibility();
    FormatGroup(p.group);
    ZoomSeriesTargets(p.group);
    Layout(true);
}

// ----- layout

const QFont& CSeriesView::cellFont(CellFont which) const
{
    return m_painter.font(which);
}

void CSeriesView::Layout(bool refreshControls)
{
    if (m_shotListMode)
        LayoutShotList(refreshControls);
    else
        LayoutGrid(refreshControls);
}

void CSeriesView::LayoutShotList(bool refreshControls)
{
    float ratio = 1.0f;
    ComPtr<IEventParams> event;
    ComPtr<ITargetParams> params;
    if (m_doc.GetEvent(&event) && SUCCEEDED(event->get_Target(1, params.put())) && params) {
        float w = 0, h = 0;
        params->get_FormWidth(&w);
        params->get_FormHeight(&h);
        if (w > 0)
            ratio = h / w;
    }
    const int clientWidth = viewport()->width();
    m_layout = layoutShotList(m_table, clientWidth, m_painter.lineHeight(), ratio,
                              [this](const Cell& c, CellFont f) { return m_painter.measure(c, f); });
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, m_layout.extent.height() - viewport()->height()));
    v->setPageStep(pageStep(viewport()->height()));
    v->setSingleStep(kLineStep);
    v->setEnabled(m_layout.extent.height() > viewport()->height());
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, m_layout.extent.width() - clientWidth));
    h->setPageStep(pageStep(clientWidth));
    h->setSingleStep(kLineStep);
    PositionControls(refreshControls);
    viewport()->update();
}

void CSeriesView::PositionControls(bool refreshControls)
{
    const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
    for (int g = 0; g < 2; ++g) {
        const auto& series = m_table.groups[size_t(g)].series;
        const auto& windows = m_windows[size_t(g)];
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
        for (size_t i = 0; i < m_windows[size_t(g)].size(); ++i)
            if (m_table.groups[size_t(g)].visible)
                shown.push_back(m_windows[size_t(g)][i].get());
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
    if (on == m_shotListMode)
        return;
    m_shotListMode = on;
    UpdateGroupVisibility();
    setVerticalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    Layout(false);
}

// The traces widen what the targets must show, so each group is zoomed again.
void CSeriesView::SetAllTraces(bool on)
{
    if (on == m_allTraces)
        return;
    m_allTraces = on;
    for (int g = 0; g < 2; ++g) {
        for (const auto& w : m_windows[size_t(g)]) {
            w->target()->put_EnableUpdate(VARIANT_FALSE);
            w->target()->put_DisplayTrace(toVariantBool(on));
        }
        ZoomSeriesTargets(g);
        for (const auto& w : m_windows[size_t(g)])
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
    if (!m_shotListMode)
        return;
    PositionControls(false);
    viewport()->update();
}

// ----- painting

void CSeriesView::paintEvent(QPaintEvent* event)
{
    QPainter p(viewport());
    p.fillRect(event->rect(), Qt::white);
    if (!m_shotListMode)
        return;
    p.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    const QRect clip = event->rect().translated(horizontalScrollBar()->value(), verticalScrollBar()->value());
    m_painter.paint(p, m_table, clip, *this);
}

// ----- selection

void CSeriesView::SetCurrentShot(IShot* shot, bool fromKeyboard)
{
    m_current = shot;
    const StatRow* row = m_table.select(shot);
    for (const auto& list : m_windows)
        for (const auto& w : list)
            w->target()->put_SelectedShot(shot);
    if (row && m_shotListMode) {
        QScrollBar* v = verticalScrollBar();
        v->setValue(
            scrollToShow(v->value(), viewport()->height(), row->rect.top(), row->rect.y() + row->rect.height()));
    }
    viewport()->update();
    if (fromKeyboard) {
        m_keyShot = shot;
        m_keyTimer.start();
    }
}

void CSeriesView::OnKeyboardTimer()
{
    m_keyTimer.stop();
    ComPtr<IShot> shot = std::move(m_keyShot);
    if (shot)
        m_doc.SetSelectedShot(shot.get(), this);
}

void CSeriesView::SelectFromTable(IShot* shot)
{
    if (!shot)
        return;
    m_keyTimer.stop();
    SetCurrentShot(shot, false);
    m_doc.SetSelectedShot(shot, this);
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
    if (m_current)
        m_doc.StartReplay();
}

// The control has already selected the shot under the click: the menu is for that shot.
void CSeriesView::OnSerieRightClick(CSerieWindow* window)
{
    OnSerieSelection(window);
    ShowContextMenu(QCursor::pos());
}

void CSeriesView::ShowContextMenu(const QPoint& globalPos)
{
    if (!m_current)
        return;
    if (CMainFrameBase* frame = CMainFrameBase::of(m_doc))
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
    if (m_doc.Navigate(m_current.get(), &next, step) && next)
        SetCurrentShot(next.get(), true);
}

void CSeriesView::mousePressEvent(QMouseEvent* event)
{
    setFocus();
    const QPoint pt = event->pos() + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const StatRow* row = m_shotListMode ? m_table.hitTest(pt) : nullptr;
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
    const StatRow* row = m_shotListMode ? m_table.hitTest(pt) : nullptr;
    if (!row || event->button() != Qt::LeftButton)
        return;
    ComPtr<IShot> shot = row->shot;
    SelectFromTable(shot.get());
    m_doc.StartReplay();
}

void CSeriesView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pt = event->pos() + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    viewport()->setCursor(m_shotListMode && m_table.hitTest(pt) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void CSeriesView::wheelEvent(QWheelEvent* event)
{
    const int pixels = m_wheel.add(event->angleDelta().y(), QApplication::wheelScrollLines());
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
    for (const auto& list : m_windows)
        for (const auto& w : list)
            w->target()->put_Zoom(float(zoom));
}

void CSeriesView::ApplyBreachColors()
{
    const AppOptions& o = theAppOptions();
    for (const auto& list : m_windows)
        for (const auto& w : list) {
            w->target()->put_BreachColor(o.BreachColor);
            w->target()->put_SelectedBreachColor(o.SelectedBreachColor);
            w->target()->Refresh();
        }
}

void CSeriesView::ReloadSettings()
{
    m_table.columns = visibleColumns(theAppOptions(), m_doc.GetTargetKind() == TargetKind::Biathlon);
    ApplyBreachColors();
    BuildRows();
}

// ----- hints

void CSeriesView::RefreshIfNeeded()
{
    // Printing refreshes a hidden table too.
    m_refresh.catchUp([this](unsigned owed) {
        if (owed & kEverything) {
            OnDocumentUpdate(nullptr, KavroHint::Everything, {});
        } else {
            m_table.columns = visibleColumns(theAppOptions(), m_doc.GetTargetKind() == TargetKind::Biathlon);
            BuildRows();
        }
        ComPtr<IShot> shot;
        m_doc.GetSelectedShot(&shot);
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
    if (m_refresh.defers(*this)) {
        switch (hint) {
        case KavroHint::Everything: m_refresh.owe(kEverything); return;
        case KavroHint::Language: LoadTexts(); [[fallthrough]];
        case KavroHint::SelectedShot:
        case KavroHint::IncludeSightings:
        case KavroHint::ShotParameters:
        case KavroHint::ShotAdded:
        case KavroHint::AdvancedMode: m_refresh.owe(kRows); return;
        default: break;
        }
    }
    switch (hint) {
    case KavroHint::Everything:
        m_table.columns = visibleColumns(theAppOptions(), m_doc.GetTargetKind() == TargetKind::Biathlon);
        m_current = nullptr;
        BuildRows();
        if (m_doc.GetTargetKind() == TargetKind::Biathlon)
            SetShotListMode(true);
        break;
    case KavroHint::Language:
        LoadTexts();
        BuildRows();
        break;
    case KavroHint::SelectedShot:
        if (sender != this) {
            ComPtr<IShot> shot;
            m_doc.GetSelectedShot(&shot);
            m_keyTimer.stop();
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
        for (Group& g : m_table.groups)
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
        const auto* added = std::get_if<KavroHint::ShotAddedArgs>(&payload);
        if (added && added->othersMoved)
            BuildRows();
        else if (added)
            OnShotAdded(added->aiming, added->shot);
        break;
    }
    case KavroHint::AdvancedMode:
        m_table.columns = visibleColumns(theAppOptions(), m_doc.GetTargetKind() == TargetKind::Biathlon);
        BuildRows();
        break;
    default: break;
    }
}

KAVRO_REGISTER_VIEW(ViewId::SeriesTable, 0, [](CKavroDoc& d, QWidget* p) -> QWidget* { return new CSeriesView(d, p); });
