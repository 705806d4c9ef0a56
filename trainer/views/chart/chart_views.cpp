#include "chart_views.h"
#include "shot_page_view.h"

#include "app_options.h"
#include "kavro_doc.h"
#include "main_frame_base.h"
#include "random_offset.h"
#include "res_strings.h"
#include "view_registry.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QSplitter>
#include <QVBoxLayout>

#include <tuple>

namespace kavro::charts {
namespace {

constexpr int kBoxMargin = 5;

// Progress of a recalculation on the status bar of the frame showing the document, when there is
// one.
class FrameProgress final : public ChartProgress {
public:
    explicit FrameProgress(const CDocumentBase& doc) : doc_(doc) { }
    void begin(int textId, int range) override
    {
        if (CMainFrameBase* f = CMainFrameBase::of(doc_)) {
            f->BeginProgress(textId);
            f->ShowProgress(0, range);
        }
    }
    void step() override
    {
        if (CMainFrameBase* f = CMainFrameBase::of(doc_))
            if (QProgressBar* bar = f->GetProgressBar())
                bar->setValue(bar->value() + 1);
    }
    void end() override
    {
        if (CMainFrameBase* f = CMainFrameBase::of(doc_))
            f->EndProgress();
    }

private:
    const CDocumentBase& doc_;
};

// The wait cursor for the length of a recalculation.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

COLORREF colorRefOf(const QColor& c)
{
    return COLORREF(c.red()) | COLORREF(c.green()) << 8 | COLORREF(c.blue()) << 16;
}

QSplitter* newSplitter(QWidget* parent)
{
    auto* s = new QSplitter(Qt::Vertical, parent);
    s->setChildrenCollapsible(false);
    return s;
}

// Sizes of a vertical splitter whose bar sits at `numerator`/`denominator` of the free height.
void placeBar(QSplitter* s, int numerator, int denominator)
{
    const int free = std::max(0, s->height() - s->handleWidth());
    const int top = free * numerator / denominator;
    s->setSizes({top, free - top});
}

} // namespace

// ----- the shared base

CChartViewBase::CChartViewBase(CKavroDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_progress(std::make_unique<FrameProgress>(doc))
{
    doc.AddView(this);
}

CChartViewBase::~CChartViewBase()
{
    if (document())
        document()->RemoveView(this);
}

ChartContext CChartViewBase::context() const
{
    ChartContext ctx;
    ctx.hasDocument = m_doc.HasDocument();
    ctx.text = [](int id) { return LoadResString(uint32_t(id)); };
    ctx.window = timeWindow(m_doc.traceSeconds(), theAppOptions().ShowControlInterval2, m_doc.controlInterval2());
    ctx.highlight = colorRefOf(palette().color(QPalette::Highlight));
    ctx.progress = m_progress.get();
    ctx.randomOffset = [](float radius) { return NextRandomOffset(radius); };
    if (!ctx.hasDocument)
        return ctx;
    m_doc.GetEvent(&ctx.event);
    ctx.targetKind = m_doc.GetTargetKind();
    m_doc.GetMatchShots(&ctx.matchShots);
    m_doc.GetMatchAimings(&ctx.matchAimings);
    m_doc.GetModelShots(&ctx.modelShots);
    m_doc.GetSelectedShot(&ctx.selectedShot);
    ctx.showHidden = m_doc.showHidden();
    ctx.fCoefficient = m_doc.fCoefficient();
    ctx.pulse = m_doc.PulseSamples();
    return ctx;
}

void CChartViewBase::OnDocumentUpdate(CView*, int hint, const KavroHint::Payload& payload)
{
    if (hint == KavroHint::Language) {
        reloadTexts();
        for (CChartWindow* w : chartWindows())
            w->OnCreate();
        repaintCharts();
    }
    const unsigned flags = flagsForHint(hint, KavroHint::aimingOf(payload));
    if (flags)
        request(flags);
}

void CChartViewBase::request(unsigned flags)
{
    if (m_refresh.request(*this, flags))
        RefreshIfNeeded();
}

void CChartViewBase::RefreshIfNeeded()
{
    m_refresh.catchUp([this](unsigned flags) {
        if (m_controlInterval2)
            m_controlInterval2->setChecked(theAppOptions().ShowControlInterval2);
        WaitCursor wait;
        recalculate(flags);
        repaintCharts();
    });
}

void CChartViewBase::fillWith(QWidget* child)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(child);
}

void CChartViewBase::repaintCharts()
{
    for (CChartWindow* w : chartWindows())
        w->update();
}

QCheckBox* CChartViewBase::addControlInterval2Box(QWidget* host)
{
    auto* box = new QCheckBox(QStringLiteral("Control interval 2"), host);
    box->setChecked(theAppOptions().ShowControlInterval2);
    connect(box, &QCheckBox::clicked, this, [this](bool checked) {
        theAppOptions().ShowControlInterval2 = checked;
        m_doc.UpdateAllViews(nullptr, KavroHint::ShotParameters);
    });
    m_controlInterval2 = box;
    return box;
}

void CChartViewBase::placeTopRight(QCheckBox* box, QCheckBox* rightOf, int gap)
{
    if (!box || !box->parentWidget())
        return;
    const QSize size = box->sizeHint();
    const int right = rightOf ? rightOf->x() - gap : box->parentWidget()->width() - kBoxMargin;
    box->setGeometry(right - size.width(), kBoxMargin, size.width(), size.height());
    box->raise();
}

void CChartViewBase::addFractionBox(QWidget* host, unsigned flags)
{
    m_fraction = new QCheckBox(QStringLiteral("Fraction mode"), host);
    connect(m_fraction, &QCheckBox::clicked, this, [this, flags] { request(flags); });
}

bool CChartViewBase::fractionMode() const
{
    return m_fraction && m_fraction->isChecked();
}

bool CChartViewBase::aimingHasShots(IAiming* aiming, bool matchOnly) const
{
    int32_t shots = 0;
    if (!aiming || FAILED(aiming->get_ShotCount(&shots)) || shots < 1)
        return false;
    if (!matchOnly)
        return true;
    ComPtr<IAimingAttr> attr;
    VARIANT_BOOL match = VARIANT_FALSE;
    return SUCCEEDED(aiming->get_Attr(attr.put())) && attr && SUCCEEDED(attr->get_Match(&match))
        && match == VARIANT_TRUE;
}

void CChartViewBase::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    RefreshIfNeeded();
}

void CChartViewBase::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_barSplitter)
        placeBar(m_barSplitter, m_barNumerator, m_barDenominator);
    placeBoxes();
}

void CChartViewBase::placeBoxes()
{
    placeTopRight(m_controlInterval2);
    placeTopRight(m_fraction, m_controlInterval2);
    // The boxes sit over the charts' top right, where the top labels and the legend would be
    // drawn: each chart starts below the boxes that cover it.
    const QList<QCheckBox*> boxes = findChildren<QCheckBox*>();
    for (CChartWindow* w : chartWindows()) {
        int covered = 0;
        for (QCheckBox* box : boxes) {
            if (box->isHidden())
                continue;
            const QRect r(w->mapFromGlobal(box->mapToGlobal(QPoint(0, 0))), box->size());
            if (r.intersects(w->rect()))
                covered = std::max(covered, r.bottom() + 1);
        }
        w->setCoveredTop(covered);
    }
}

std::pair<CChartWindow*, CChartWindow*> CChartViewBase::fillWithChartPair(int numerator, int denominator)
{
    QSplitter* splitter = newSplitter(this);
    auto* top = new CChartWindow(splitter);
    auto* bottom = new CChartWindow(splitter);
    fillWith(splitter);
    m_barSplitter = splitter;
    m_barNumerator = numerator;
    m_barDenominator = denominator;
    return {top, bottom};
}

CSingleChartView::CSingleChartView(CKavroDoc& doc, QWidget* parent) : CChartViewBase(doc, parent)
{
    m_chart = new CChartWindow(this);
    fillWith(m_chart);
}

CChartPairView::CChartPairView(CKavroDoc& doc, QWidget* parent, int numerator, int denominator)
    : CChartViewBase(doc, parent)
{
    std::tie(m_top, m_bottom) = fillWithChartPair(numerator, denominator);
}

// ----- distance

CDistanceView::CDistanceView(CKavroDoc& doc, QWidget* parent) : CChartPairView(doc, parent, 3, 5)
{
    addControlInterval2Box(this);
    reloadTexts();
    request(kEverything);
}

unsigned CDistanceView::flagsForHint(int hint, IAiming*)
{
    switch (hint) {
    case KavroHint::Everything:
    case KavroHint::SelectedShot:
    case KavroHint::ShotParameters: return kEverything;
    default: return 0;
    }
}

void CDistanceView::recalculate(unsigned)
{
    recalcDistance(m_top->chart(), m_bottom->chart(), context());
}

void CDistanceView::reloadTexts()
{
    const ChartContext ctx = context();
    // Setting up again drops the data: recalculate it.
    setupDistanceCharts(m_top->chart(), m_bottom->chart(), ctx);
    request(kEverything);
}

// ----- coordination

CCoordinationView::CCoordinationView(CKavroDoc& doc, QWidget* parent) : CSingleChartView(doc, parent)
{
    addControlInterval2Box(this);
    setupCoordinationChart(m_chart->chart(), context());
    request(kEverything);
}

unsigned CCoordinationView::flagsForHint(int hint, IAiming* aiming)
{
    switch (hint) {
    case KavroHint::Everything:
    case KavroHint::ShotParameters: return kDocument | kModel | kFrame;
    case KavroHint::Language:
    case KavroHint::Model: return kModel;
    case KavroHint::AimingConcluded: return aimingHasShots(aiming, false) ? unsigned(kDocument) : 0u;
    default: return 0;
    }
}

void CCoordinationView::recalculate(unsigned flags)
{
    recalcCoordination(m_chart->chart(), m_state, context(), flags & kDocument, flags & kModel, flags & kFrame);
}

void CCoordinationView::reloadTexts()
{
    const ChartContext ctx = context();
    CChartImpl& c = m_chart->chart();
    c.xCaption = ctx.str(kTextTimeBeforeShot);
    c.yCaption = ctx.str(kTextDistance);
    c.SetSeriesName(1, withCount(ctx.str(kTextCoordination), m_state.count[0]));
    c.SetSeriesName(4, m_state.count[1] ? withCount(ctx.str(kTextModel), m_state.count[1]) : QString());
}

// ----- time shift

CTimeShiftView::CTimeShiftView(CKavroDoc& doc, QWidget* parent) : CSingleChartView(doc, parent)
{
    addControlInterval2Box(this);
    addFractionBox(this, kDocument | kModel);
    setupTimeShiftChart(m_chart->chart(), context());
    request(kDocument | kModel);
}

unsigned CTimeShiftView::flagsForHint(int hint, IAiming* aiming)
{
    switch (hint) {
    case KavroHint::Everything:
    case KavroHint::ShotParameters: return kDocument | kModel;
    case KavroHint::Language:
    case KavroHint::Model: return kModel;
    case KavroHint::AimingConcluded: return aimingHasShots(aiming, false) ? unsigned(kDocument) : 0u;
    default: return 0;
    }
}

void CTimeShiftView::recalculate(unsigned flags)
{
    recalcTimeShift(m_chart->chart(), m_state, context(), flags & kDocument, flags & kModel, fractionMode());
}

void CTimeShiftView::reloadTexts()
{
    const ChartContext ctx = context();
    CChartImpl& c = m_chart->chart();
    c.xCaption = ctx.str(kTextTimeBeforeShot);
    c.yCaption = ctx.str(kTextResult);
    c.SetSeriesName(1, withCount(ctx.str(kTextTimeShift), m_state.count[0]));
    c.SetSeriesName(2, m_state.count[1] ? withCount(ctx.str(kTextModel), m_state.count[1]) : QString());
}

// ----- speed

CSpeedView::CSpeedView(CKavroDoc& doc, QWidget* parent) : CChartPairView(doc, parent, 1, 2)
{
    addControlInterval2Box(m_top);
    m_top->onResized = [this] { placeBoxes(); };
    setupSpeedCharts(m_top->chart(), m_bottom->chart(), context());
    request(kEverything);
}

unsigned CSpeedView::flagsForHint(int hint, IAiming* aiming)
{
    switch (hint) {
    case KavroHint::Everything:
    case KavroHint::ShotParameters: return kEverything;
    case KavroHint::Language:
    case KavroHint::Model: return kModel;
    case KavroHint::SelectedShot: return kCurrent;
    case KavroHint::AimingConcluded: return aimingHasShots(aiming, true) ? unsigned(kDocument) : 0u;
    default: return 0;
    }
}

void CSpeedView::recalculate(unsigned flags)
{
    recalcSpeed(m_top->chart(), m_bottom->chart(), m_state, context(), flags & kDocument, flags & kModel,
                flags & kCurrent);
}

void CSpeedView::reloadTexts()
{
    const ChartContext ctx = context();
    for (CChartWindow* w : {m_top, m_bottom}) {
        w->chart().xCaption = ctx.str(kTextTimeBeforeShot);
        w->chart().yCaption = ctx.str(kTextSpeedAxis);
    }
    m_top->chart().SetSeriesName(1, withCount(ctx.str(kTextSpeed), m_state.count[0]));
    m_top->chart().SetSeriesName(2, m_state.count[1] ? withCount(ctx.str(kTextModel), m_state.count[1]) : QString());
    m_bottom->chart().SetSeriesName(1, ctx.str(kTextCurrentShot));
}

// ----- time intervals

CTimeIntervalsView::CTimeIntervalsView(CKavroDoc& doc, QWidget* parent) : CChartViewBase(doc, parent)
{
    m_splitter = newSplitter(this);
    m_chart = new CAdvancedChartWindow(m_splitter);
    m_chart->onSeriesClicked = [this](int id) { OnSeriesClicked(id); };
    m_pane = new QWidget(m_splitter);
    auto* paneLayout = new QVBoxLayout(m_pane);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    m_paneTitle = new QLabel(m_pane);
    paneLayout->addWidget(m_paneTitle);
    paneLayout->addWidget(new kavro::info::CShotPageView(doc, m_pane));
    paneLayout->addStretch(1);
    // The shot details keep their height; the chart takes what the window gains or loses.
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    fillWith(m_splitter);
    setupIntervalsChart(m_chart->chart(), context());
    reloadTexts();
    request(kDocument);
}

unsigned CTimeIntervalsView::flagsForHint(int hint, IAiming* aiming)
{
    switch (hint) {
    case KavroHint::Everything:
        // The shot pane belongs to one-target events; the pair of targets shows the chart alone.
        m_pane->setVisible(doc().GetTargetKind() != TargetKind::Biathlon);
        return kDocument;
    case KavroHint::ShotParameters: return kDocument;
    case KavroHint::SelectedShot: return kSelection;
    case KavroHint::AimingConcluded: return aimingHasShots(aiming, false) ? unsigned(kDocument) : 0u;
    default: return 0;
    }
}

void CTimeIntervalsView::recalculate(unsigned flags)
{
    const ChartContext ctx = context();
    if (flags & kDocument)
        recalcIntervals(m_chart->chart(), m_state, ctx);
    else if (flags & kSelection)
        updateIntervalsSelection(m_chart->chart(), m_state, ctx);
}

void CTimeIntervalsView::reloadTexts()
{
    const ChartContext ctx = context();
    CChartImpl& c = m_chart->chart();
    c.xCaption = ctx.str(kTextTime);
    c.yCaption = ctx.str(kTextResult);
    m_paneTitle->setText(ctx.str(kTextShotDetails));
    // The first and last bars carry their names with the shot time: rebuild them.
    if (m_state.count > 0)
        request(kDocument);
}

void CTimeIntervalsView::OnSeriesClicked(int seriesId)
{
    ComPtr<IShot> shot = intervalsShotForSeries(m_state, context(), seriesId);
    if (shot)
        doc().SetSelectedShot(shot.get(), nullptr);
}

void CTimeIntervalsView::resizeEvent(QResizeEvent* event)
{
    CChartViewBase::resizeEvent(event);
    if (m_paneSized || height() <= 0)
        return;
    m_paneSized = true;
    const int free = std::max(0, m_splitter->height() - m_splitter->handleWidth());
    const int pane = std::min(150, free * 2 / 5);
    m_splitter->setSizes({free - pane, pane});
}

// ----- probability

CProbabilityView::CProbabilityView(CKavroDoc& doc, QWidget* parent) : CChartPairView(doc, parent, 3, 5)
{
    addFractionBox(m_top, kDocument);
    m_top->onResized = [this] { placeBoxes(); };
    setupProbabilityCharts(m_top->chart(), m_bottom->chart(), context());
    request(kDocument);
}

unsigned CProbabilityView::flagsForHint(int hint, IAiming* aiming)
{
    switch (hint) {
    case KavroHint::Everything:
    case KavroHint::ShotParameters: return kDocument;
    case KavroHint::AimingConcluded: return aimingHasShots(aiming, false) ? unsigned(kDocument) : 0u;
    default: return 0;
    }
}

void CProbabilityView::recalculate(unsigned)
{
    recalcProbability(m_top->chart(), m_bottom->chart(), context(), fractionMode());
}

void CProbabilityView::reloadTexts()
{
    const ChartContext ctx = context();
    m_top->chart().xCaption = m_bottom->chart().xCaption = ctx.str(kTextBulletDispersion);
    m_top->chart().yCaption = ctx.str(kTextProbability);
    m_bottom->chart().yCaption = ctx.str(kTextResult);
}

} // namespace kavro::charts

// The view switcher's commands F6 to F11.
using namespace kavro::charts;
KAVRO_REGISTER_VIEW(ViewId::Distance, 32790,
                    [](CKavroDoc& d, QWidget* p) -> QWidget* { return new CDistanceView(d, p); });
KAVRO_REGISTER_VIEW(ViewId::Coordination, 32791,
                    [](CKavroDoc& d, QWidget* p) -> QWidget* { return new CCoordinationView(d, p); });
KAVRO_REGISTER_VIEW(ViewId::Shift, 32792,
                    [](CKavroDoc& d, QWidget* p) -> QWidget* { return new CTimeShiftView(d, p); });
KAVRO_REGISTER_VIEW(ViewId::Speed, 32793, [](CKavroDoc& d, QWidget* p) -> QWidget* { return new CSpeedView(d, p); });
KAVRO_REGISTER_VIEW(ViewId::Intervals, 32794,
                    [](CKavroDoc& d, QWidget* p) -> QWidget* { return new CTimeIntervalsView(d, p); });
KAVRO_REGISTER_VIEW(ViewId::Probability, 32795,
                    [](CKavroDoc& d, QWidget* p) -> QWidget* { return new CProbabilityView(d, p); });
