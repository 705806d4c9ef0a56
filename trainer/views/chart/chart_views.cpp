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
    : QWidget(parent), doc_(doc), progress_(std::make_unique<FrameProgress>(doc))
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
    ctx.hasDocument = doc_.HasDocument();
    ctx.text = [](int id) { return LoadResString(uint32_t(id)); };
    ctx.window = timeWindow(doc_.traceSeconds(), theAppOptions().ShowControlInterval2, doc_.controlInterval2());
    ctx.highlight = colorRefOf(palette().color(QPalette::Highlight));
    ctx.progress = progress_.get();
    ctx.randomOffset = [](float radius) { return NextRandomOffset(radius); };
    if (!ctx.hasDocument)
        return ctx;
    doc_.GetEvent(&ctx.event);
    ctx.targetKind = doc_.GetTargetKind();
    doc_.GetMatchShots(&ctx.matchShots);
    doc_.GetMatchAimings(&ctx.matchAimings);
    doc_.GetModelShots(&ctx.modelShots);
    doc_.GetSelectedShot(&ctx.selectedShot);
    ctx.showHidden = doc_.showHidden();
    ctx.fCoefficient = doc_.fCoefficient();
    ctx.pulse = doc_.PulseSamples();
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
    if (refresh_.request(*this, flags))
        RefreshIfNeeded();
}

void CChartViewBase::RefreshIfNeeded()
{
    refresh_.catchUp([this](unsigned flags) {
        if (controlInterval2_)
            controlInterval2_->setChecked(theAppOptions().ShowControlInterval2);
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
        doc_.UpdateAllViews(nullptr, KavroHint::ShotParameters);
    });
    controlInterval2_ = box;
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
    fraction_ = new QCheckBox(QStringLiteral("Fraction mode"), host);
    connect(fraction_, &QCheckBox::clicked, this, [this, flags] { request(flags); });
}

bool CChartViewBase::fractionMode() const
{
    return fraction_ && fraction_->isChecked();
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
    if (barSplitter_)
        placeBar(barSplitter_, barNumerator_, barDenominator_);
    placeBoxes();
}

void CChartViewBase::placeBoxes()
{
    placeTopRight(controlInterval2_);
    placeTopRight(fraction_, controlInterval2_);
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
    barSplitter_ = splitter;
    barNumerator_ = numerator;
    barDenominator_ = denominator;
    return {top, bottom};
}

CSingleChartView::CSingleChartView(CKavroDoc& doc, QWidget* parent) : CChartViewBase(doc, parent)
{
    chart_ = new CChartWindow(this);
    fillWith(chart_);
}

CChartPairView::CChartPairView(CKavroDoc& doc, QWidget* parent, int numerator, int denominator)
    : CChartViewBase(doc, parent)
{
    std::tie(top_, bottom_) = fillWithChartPair(numerator, denominator);
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
    recalcDistance(top_->chart(), bottom_->chart(), context());
}

void CDistanceView::reloadTexts()
{
    const ChartContext ctx = context();
    // Setting up again drops the data: recalculate it.
    setupDistanceCharts(top_->chart(), bottom_->chart(), ctx);
    request(kEverything);
}

// ----- coordination

CCoordinationView::CCoordinationView(CKavroDoc& doc, QWidget* parent) : CSingleChartView(doc, parent)
{
    addControlInterval2Box(this);
    setupCoordinationChart(chart_->chart(), context());
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
    recalcCoordination(chart_->chart(), state_, context(), flags & kDocument, flags & kModel, flags & kFrame);
}

void CCoordinationView::reloadTexts()
{
    const ChartContext ctx = context();
    CChartImpl& c = chart_->chart();
    c.xCaption = ctx.str(kTextTimeBeforeShot);
    c.yCaption = ctx.str(kTextDistance);
    c.SetSeriesName(1, withCount(ctx.str(kTextCoordination), state_.count[0]));
    c.SetSeriesName(4, state_.count[1] ? withCount(ctx.str(kTextModel), state_.count[1]) : QString());
    // The position marks of the scale carry texts too.
    request(kFrame);
}

// ----- time shift

CTimeShiftView::CTimeShiftView(CKavroDoc& doc, QWidget* parent) : CSingleChartView(doc, parent)
{
    addControlInterval2Box(this);
    addFractionBox(this, kDocument | kModel);
    setupTimeShiftChart(chart_->chart(), context());
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
    recalcTimeShift(chart_->chart(), state_, context(), flags & kDocument, flags & kModel, fractionMode());
}

void CTimeShiftView::reloadTexts()
{
    const ChartContext ctx = context();
    CChartImpl& c = chart_->chart();
    c.xCaption = ctx.str(kTextTimeBeforeShot);
    c.yCaption = ctx.str(kTextResult);
    c.SetSeriesName(1, withCount(ctx.str(kTextTimeShift), state_.count[0]));
    c.SetSeriesName(2, state_.count[1] ? withCount(ctx.str(kTextModel), state_.count[1]) : QString());
}

// ----- speed

CSpeedView::CSpeedView(CKavroDoc& doc, QWidget* parent) : CChartPairView(doc, parent, 1, 2)
{
    addControlInterval2Box(top_);
    top_->onResized = [this] { placeBoxes(); };
    setupSpeedCharts(top_->chart(), bottom_->chart(), context());
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
    recalcSpeed(top_->chart(), bottom_->chart(), state_, context(), flags & kDocument, flags & kModel,
                flags & kCurrent);
}

void CSpeedView::reloadTexts()
{
    const ChartContext ctx = context();
    for (CChartWindow* w : {top_, bottom_}) {
        w->chart().xCaption = ctx.str(kTextTimeBeforeShot);
        w->chart().yCaption = ctx.str(kTextSpeedAxis);
    }
    top_->chart().SetSeriesName(1, withCount(ctx.str(kTextSpeed), state_.count[0]));
    top_->chart().SetSeriesName(2, state_.count[1] ? withCount(ctx.str(kTextModel), state_.count[1]) : QString());
    bottom_->chart().SetSeriesName(1, ctx.str(kTextCurrentShot));
}

// ----- time intervals

CTimeIntervalsView::CTimeIntervalsView(CKavroDoc& doc, QWidget* parent) : CChartViewBase(doc, parent)
{
    splitter_ = newSplitter(this);
    chart_ = new CAdvancedChartWindow(splitter_);
    chart_->onSeriesClicked = [this](int id) { OnSeriesClicked(id); };
    pane_ = new QWidget(splitter_);
    auto* paneLayout = new QVBoxLayout(pane_);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    paneTitle_ = new QLabel(pane_);
    paneLayout->addWidget(paneTitle_);
    paneLayout->addWidget(new kavro::info::CShotPageView(doc, pane_));
    paneLayout->addStretch(1);
    // The shot details keep their height; the chart takes what the window gains or loses.
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 0);
    fillWith(splitter_);
    setupIntervalsChart(chart_->chart(), context());
    reloadTexts();
    request(kDocument);
}

unsigned CTimeIntervalsView::flagsForHint(int hint, IAiming* aiming)
{
    switch (hint) {
    case KavroHint::Everything:
        // The shot pane belongs to one-target events; the pair of targets shows the chart alone.
        pane_->setVisible(doc().GetTargetKind() != TargetKind::Biathlon);
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
        recalcIntervals(chart_->chart(), state_, ctx);
    else if (flags & kSelection)
        updateIntervalsSelection(chart_->chart(), state_, ctx);
}

void CTimeIntervalsView::reloadTexts()
{
    const ChartContext ctx = context();
    CChartImpl& c = chart_->chart();
    c.xCaption = ctx.str(kTextTime);
    c.yCaption = ctx.str(kTextResult);
    paneTitle_->setText(ctx.str(kTextShotDetails));
    // The first and last bars carry their names with the shot time: rebuild them.
    if (state_.count > 0)
        request(kDocument);
}

void CTimeIntervalsView::OnSeriesClicked(int seriesId)
{
    ComPtr<IShot> shot = intervalsShotForSeries(state_, context(), seriesId);
    if (shot)
        doc().SetSelectedShot(shot.get(), nullptr);
}

void CTimeIntervalsView::resizeEvent(QResizeEvent* event)
{
    CChartViewBase::resizeEvent(event);
    if (paneSized_ || height() <= 0)
        return;
    paneSized_ = true;
    const int free = std::max(0, splitter_->height() - splitter_->handleWidth());
    const int pane = std::min(150, free * 2 / 5);
    splitter_->setSizes({free - pane, pane});
}

// ----- probability

CProbabilityView::CProbabilityView(CKavroDoc& doc, QWidget* parent) : CChartPairView(doc, parent, 3, 5)
{
    addFractionBox(top_, kDocument);
    top_->onResized = [this] { placeBoxes(); };
    setupProbabilityCharts(top_->chart(), bottom_->chart(), context());
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
    recalcProbability(top_->chart(), bottom_->chart(), context(), fractionMode());
}

void CProbabilityView::reloadTexts()
{
    const ChartContext ctx = context();
    top_->chart().xCaption = bottom_->chart().xCaption = ctx.str(kTextBulletDispersion);
    top_->chart().yCaption = ctx.str(kTextProbability);
    bottom_->chart().yCaption = ctx.str(kTextResult);
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
