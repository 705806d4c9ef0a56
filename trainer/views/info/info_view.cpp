#include "info_view.h"

#include "app_options.h"
#include "com/classregistry.h"
#include "command_ids.h"
#include "doc_helpers.h"
#include "info_strings.h"
#include "kavro_doc.h"
#include "kavro_hints.h"
#include "main_frame_base.h"
#include "res_strings.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace kavro::info {

namespace {

// The comments are written back when the field loses the focus, as a form field's change event
// comes, not on every key (and before the frame leaves the page or the document).
class CommentsEdit final : public QPlainTextEdit {
public:
    std::function<void()> onCommit;

protected:
    void focusOutEvent(QFocusEvent* e) override
    {
        QPlainTextEdit::focusOutEvent(e);
        if (onCommit)
            onCommit();
    }
};

// A rich-text paragraph takes its direction from its first strong letter: in a right-to-left
// interface a bare figure would sit at the far left while "11.1 mm" in Arabic sits at the right.
QString valueHtml(const QString& text, const std::optional<QString>& model, Qt::LayoutDirection direction)
{
    QString html = text.toHtmlEscaped();
    if (model)
        html += QStringLiteral("<font color=red> (") + model->toHtmlEscaped() + QStringLiteral(")</font>");
    if (direction == Qt::RightToLeft)
        html = QStringLiteral("<div dir=\"rtl\">") + html + QStringLiteral("</div>");
    return html;
}

QLabel* boldLabel(QWidget* parent)
{
    auto* l = new QLabel(parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    l->setWordWrap(true);
    return l;
}

const QString kTargetIds[]
    = {"Target1", "Target2", "TargetStanding1", "TargetProne1", "TargetStanding2", "TargetProne2"};

} // namespace

CInfoView::CInfoView(CKavroDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc)
{
    build();
    doc_.AddView(this);
}

CInfoView::~CInfoView()
{
    if (document())
        document()->RemoveView(this);
}

QLabel* CInfoView::valueLabel(const QString& id)
{
    auto* l = new QLabel(this);
    l->setTextFormat(Qt::RichText);
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l->setObjectName(id);
    elements_[id] = l;
    values_.insert(id);
    return l;
}

QWidget* CInfoView::addTarget(const QString& id, QWidget* parent)
{
    auto host = std::make_unique<CTargetHost>();
    TargetEventHandlers handlers;
    // Only the practice's own targets pick shots; the model's only show.
    if (!id.endsWith(QLatin1Char('2'))) {
        handlers.selectionChanged = [this, id] {
            ComPtr<IShot> shot;
            if (ITarget* t = target(id); t && SUCCEEDED(t->get_SelectedShot(shot.put())))
                UISelectionChanged(shot.get());
        };
        handlers.dblClick = [this, id](float, float) {
            ComPtr<IShot> shot;
            if (ITarget* t = target(id); t && SUCCEEDED(t->get_SelectedShot(shot.put())))
                UIDblClickShot(shot.get());
        };
    }
    if (!host->create(parent, handlers)) {
        // Without the target module the page still shows every figure.
        auto* missing = new QWidget(parent);
        missing->setObjectName(id);
        return missing;
    }
    QWidget* widget = host->widget();
    widget->setObjectName(id);
    widget->setMinimumSize(320, 320);
    widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    host->target()->put_Selectable(toVariantBool(!id.endsWith(QLatin1Char('2'))));
    targets_[id] = std::move(host);
    return widget;
}

void CInfoView::build()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    content->setAutoFillBackground(true);
    content->setBackgroundRole(QPalette::Base);
    scroll->setWidget(content);
    auto* v = new QVBoxLayout(content);

    // Introduction without a practice.
    auto* intro = new QWidget(content);
    intro->setObjectName(QStringLiteral("idIntro"));
    elements_[intro->objectName()] = intro;
    auto* introLayout = new QVBoxLayout(intro);
    auto* introText = new QLabel(intro);
    introText->setWordWrap(true);
    titles_[QStringLiteral("intro")] = introText;
    introLayout->addWidget(introText);
    auto* buttons = new QHBoxLayout;
    auto* start = new QPushButton(intro);
    auto* open = new QPushButton(intro);
    start->setObjectName(QStringLiteral("idStartPractice"));
    open->setObjectName(QStringLiteral("idOpen"));
    connect(start, &QPushButton::clicked, this, [this] { UIStartPractice(); });
    connect(open, &QPushButton::clicked, this, [this] { UIOpen(); });
    buttons->addWidget(start);
    buttons->addWidget(open);
    buttons->addStretch();
    introLayout->addLayout(buttons);
    introLayout->addStretch();
    v->addWidget(intro);

    auto* all = new QWidget(content);
    all->setObjectName(QStringLiteral("idAllInfo"));
    elements_[all->objectName()] = all;
    v->addWidget(all);
    v->addStretch();
    auto* allLayout = new QVBoxLayout(all);

    // Shooter, event, date and comments; the model's beside them.
    auto* head = new QGridLayout;
    allLayout->addLayout(head);
    auto caption = [&](const QString& key, int row, int column = 0) {
        QLabel* l = boldLabel(all);
        titles_[key] = l;
        head->addWidget(l, row, column, Qt::AlignTop);
    };
    caption(QStringLiteral("shooter"), 0);
    name_ = new QLineEdit(all);
    name_->setObjectName(QStringLiteral("idShooterName"));
    elements_[name_->objectName()] = name_;
    connect(name_, &QLineEdit::editingFinished, this, [this] { commitName(); });
    head->addWidget(name_, 0, 1);
    caption(QStringLiteral("event"), 1);
    head->addWidget(valueLabel(QStringLiteral("idEvent")), 1, 1);
    caption(QStringLiteral("date"), 2);
    head->addWidget(valueLabel(QStringLiteral("idDateTime")), 2, 1);
    caption(QStringLiteral("comments"), 3);
    auto* comments = new CommentsEdit;
    comments->setParent(all);
    comments->setObjectName(QStringLiteral("idComments"));
    comments->setMaximumHeight(90);
    comments->onCommit = [this] { commitComments(); };
    comments_ = comments;
    elements_[comments_->objectName()] = comments_;
    head->addWidget(comments_, 3, 1);
    auto* modelRow = new QWidget(all);
    modelRow->setObjectName(QStringLiteral("idModelInfoRow"));
    elements_[modelRow->objectName()] = modelRow;
    auto* modelLayout = new QGridLayout(modelRow);
    modelLayout->setContentsMargins(0, 0, 0, 0);
    QLabel* modelCaption = boldLabel(modelRow);
    titles_[QStringLiteral("model")] = modelCaption;
    modelLayout->addWidget(modelCaption, 0, 0, Qt::AlignTop);
    modelLayout->addWidget(valueLabel(QStringLiteral("idShooterNameModel")), 0, 1);
    modelLayout->addWidget(valueLabel(QStringLiteral("idCommentsModel")), 1, 1);
    head->addWidget(modelRow, 4, 0, 1, 2);
    head->setColumnStretch(1, 1);

    // The statistics: a title, then the value or labelled values.
    auto* stats = new QWidget(all);
    stats->setObjectName(QStringLiteral("idStatRow"));
    elements_[stats->objectName()] = stats;
    auto* grid = new QGridLayout(stats);
    int row = 0;
    using Parts = std::vector<std::pair<QString, QString>>; // label title id (may be empty), value id
    auto stat = [&](const QString& titleId, const Parts& parts, const QString& rowId = QString()) {
        QLabel* title = boldLabel(stats);
        titles_[titleId] = title;
        auto* values = new QWidget(stats);
        auto* vl = new QVBoxLayout(values);
        vl->setContentsMargins(0, 0, 0, 0);
        vl->setSpacing(2);
        for (const auto& [labelId, valueId] : parts) {
            auto* line = new QHBoxLayout;
            line->setSpacing(0);
            if (!labelId.isEmpty()) {
                auto* label = new QLabel(values);
                label->setObjectName(labelId);
                titles_[labelId] = label;
                elements_[labelId] = label;
                line->addWidget(label);
            }
            line->addWidget(valueLabel(valueId), 1);
            vl->addLayout(line);
        }
        if (!rowId.isEmpty()) {
            title->setObjectName(rowId);
            elements_[rowId] = title;
            values->setObjectName(rowId + QStringLiteral("Values"));
        }
        grid->addWidget(title, row, 0, Qt::AlignTop);
        grid->addWidget(values, row, 1, Qt::AlignTop);
        ++row;
    };
    stat("idShotCountTitle", {{"", "idShotCount"}});
    stat("idResultTitle",
         {{"idResultIntTitle", "idResultInt"},
          {"idResultFractionalTitle", "idResultFractional"},
          {"idResultAverageTitle", "idResultAverage"}});
    stat("idResultIntCoinsidedTitle", {{"", "idResultIntCoinsided"}}, "idResultIntCoinsidedRow");
    stat("idTotalShootingTimeTitle", {{"", "idTotalShootingTime"}});
    stat("idAvgTimePerShotTitle", {{"", "idAvgTimePerShot"}});
    stat("idStabilityOfTimeIntervalTitle", {{"", "idStabilityOfTimeInterval"}});
    stat("idDiametralDispersionTitle", {{"", "idDiametralDispersion"}});
    stat("idStabilityOfAimingTitle", {{"", "idStabilityOfAiming"}});
    stat("idAccuracyOfShootingTitle", {{"", "idAccuracyOfShooting"}});
    stat("idAvgSteadinessTitle", {{"", "idAvgSteadiness"}});
    stat("idAvgLenTitle", {{"", "idAvgLen"}, {"idAvgLenXTitle", "idAvgLenX"}, {"idAvgLenYTitle", "idAvgLenY"}});
    stat("idEllipticalFactorTitle",
         {{"idEllipticalFactorGroupTitle", "idEllipticalFactorGroup"},
          {"idEllipticalFactorTraceTitle", "idEllipticalFactorTrace"}});
    stat("idControlIntervalTitle", {{"", "idControlInterval"}});
    grid->setColumnStretch(1, 1);
    allLayout->addWidget(stats);

    // The match on targets: practice and model side by side.
    auto* targets = new QGridLayout;
    allLayout->addLayout(targets, 1);
    const std::pair<QString, int> rows[]
        = {{"idTargetRow1", 0},      {"idTargetRow2", 1},         {"idTargetStandingRow1", 0},
           {"idTargetProneRow1", 0}, {"idTargetStandingRow2", 1}, {"idTargetProneRow2", 1}};
    for (int i = 0; i < 6; ++i) {
        auto* cell = new QWidget(all);
        cell->setObjectName(rows[i].first);
        elements_[rows[i].first] = cell;
        auto* cl = new QVBoxLayout(cell);
        cl->setContentsMargins(0, 0, 0, 0);
        QLabel* heading = boldLabel(cell);
        titles_[QStringLiteral("heading") + kTargetIds[i]] = heading;
        cl->addWidget(heading);
        cl->addWidget(addTarget(kTargetIds[i], cell), 1);
        targets->addWidget(cell, 0, i < 2 ? i : (i - 2) / 2 * 2 + (i - 2) % 2);
    }
    reloadTexts();
}

QWidget* CInfoView::element(const QString& id) const
{
    auto it = elements_.find(id);
    return it == elements_.end() ? nullptr : it->second;
}

ITarget* CInfoView::target(const QString& id) const
{
    auto it = targets_.find(id);
    return it == targets_.end() ? nullptr : it->second->target();
}

void CInfoView::reloadTexts()
{
    for (const QString& id : infoTitleIds())
        if (auto it = titles_.find(id); it != titles_.end())
            it->second->setText(infoTitle(id));
    const std::pair<const char*, uint32_t> own[] = {{"intro", IDS_INFO_INTRO},
                                                    {"shooter", IDS_INFO_SHOOTER},
                                                    {"event", IDS_INFO_EVENT},
                                                    {"date", IDS_INFO_DATE},
                                                    {"comments", IDS_INFO_COMMENTS},
                                                    {"model", IDS_INFO_MODEL},
                                                    {"headingTarget1", IDS_INFO_PRACTICE},
                                                    {"headingTarget2", IDS_INFO_MODEL},
                                                    {"headingTargetStanding1", IDS_INFO_STANDING},
                                                    {"headingTargetProne1", IDS_INFO_PRONE},
                                                    {"headingTargetStanding2", IDS_INFO_STANDING},
                                                    {"headingTargetProne2", IDS_INFO_PRONE}};
    for (const auto& [key, id] : own)
        if (auto it = titles_.find(QString::fromLatin1(key)); it != titles_.end())
            it->second->setText(LoadResString(id));
    if (auto* b = findChild<QPushButton*>(QStringLiteral("idStartPractice")))
        b->setText(LoadResString(IDS_INFO_START_PRACTICE));
    if (auto* b = findChild<QPushButton*>(QStringLiteral("idOpen")))
        b->setText(LoadResString(IDS_INFO_OPEN));
}

void CInfoView::OnDocumentUpdate(CView*, int hint, const KavroHint::Payload& payload)
{
    switch (hint) {
    case KavroHint::Everything:
    case KavroHint::ShotParameters: request(kDocument | kModel); break;
    case KavroHint::Language: request(kTexts | kDocument | kModel); break;
    case KavroHint::Model: request(kModel); break;
    case KavroHint::SelectedShot: {
        ComPtr<IShot> shot;
        doc_.GetSelectedShot(&shot);
        static const std::vector<QString> one = {"Target1"}, two = {"TargetStanding1", "TargetProne1"};
        for (const QString& id : doc_.GetTargetKind() == TargetKind::Biathlon ? two : one)
            if (ITarget* t = target(id))
                t->put_SelectedShot(shot.get());
        break;
    }
    case KavroHint::ShooterName: loadName(); break;
    case KavroHint::Comments: loadComments(); break;
    case KavroHint::AimingConcluded: {
        IAiming* aiming = KavroHint::aimingOf(payload);
        int32_t shots = 0;
        if (aiming && SUCCEEDED(aiming->get_ShotCount(&shots)) && shots > 0)
            request(kDocument);
        break;
    }
    default: break;
    }
}

void CInfoView::request(unsigned flags)
{
    if (refresh_.request(*this, flags))
        RefreshIfNeeded();
}

void CInfoView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    RefreshIfNeeded();
}

void CInfoView::RefreshIfNeeded()
{
    refresh_.catchUp([this](unsigned flags) { refresh(flags); });
}

void CInfoView::refresh(unsigned flags)
{
    if (flags & kTexts)
        reloadTexts();
    if (flags & kDocument)
        columns_.document = documentStatistics(doc_);
    if (flags & (kDocument | kModel))
        columns_.model = modelStatistics(doc_);
    page_ = BuildInfoPage(doc_, columns_);
    fill();
}

void CInfoView::fill()
{
    loading_ = true;
    for (const auto& [id, widget] : elements_) {
        widget->setVisible(page_.visible(id));
        if (auto* label = qobject_cast<QLabel*>(widget); label && values_.count(id))
            label->setText(valueHtml(page_.text(id), page_.model(id), layoutDirection()));
    }
    // The values' own boxes follow their title rows.
    if (QWidget* w = findChild<QWidget*>(QStringLiteral("idResultIntCoinsidedRowValues")))
        w->setVisible(page_.visible(QStringLiteral("idResultIntCoinsidedRow")));
    loading_ = false;
    loadName();
    loadComments();
    fillTargets();
}

// A refresh while the user types (a shot arrives) keeps the typing; it is taken when committed.
void CInfoView::loadName()
{
    if (name_->isModified())
        return;
    QString name;
    doc_.GetShooterName(&name);
    loading_ = true;
    if (name_->text() != name)
        name_->setText(name);
    loading_ = false;
}

void CInfoView::loadComments()
{
    if (comments_->document()->isModified())
        return;
    QString text;
    doc_.GetComments(&text);
    loading_ = true;
    if (comments_->toPlainText() != text)
        comments_->setPlainText(text);
    comments_->document()->setModified(false);
    loading_ = false;
}

void CInfoView::fillTargets()
{
    ComPtr<IEventParams> event;
    ComPtr<IAimingCollection> docMatch, modelAll, modelMatch;
    doc_.GetEvent(&event);
    doc_.GetMatchAimings(&docMatch);
    if (doc_.GetModelAimings(&modelAll))
        modelAll->Match(modelMatch.put());
    const bool two = doc_.GetTargetKind() == TargetKind::Biathlon;
    // Position 0 shows every match aiming on the event's first target; 1 standing, 2 prone.
    auto fillOne = [&](const char* id, IAimingCollection* aimings, int position) {
        const int subTarget = position == 0 ? 1 : position;
        ITarget* t = target(QString::fromLatin1(id));
        if (!t)
            return;
        t->put_EnableUpdate(VARIANT_FALSE);
        t->Clear();
        t->ClearElements();
        if (event)
            t->put_Event(event.get());
        t->put_Match(VARIANT_TRUE);
        t->put_DisplayTrace(VARIANT_FALSE);
        t->put_SubTarget(subTarget);
        for (int i = 1, n = countOf(aimings); i <= n; ++i) {
            ComPtr<IAiming> a = aimingAt(aimings, i);
            if (a && (position == 0 || (position == 1) == (aimingSubTarget(a.get()) == BiathlonTarget::Standing)))
                t->Add(a.get());
        }
        t->put_EnableUpdate(VARIANT_TRUE);
        t->Refresh();
    };
    if (two) {
        fillOne("TargetStanding1", docMatch.get(), 1);
        fillOne("TargetProne1", docMatch.get(), 2);
        fillOne("TargetStanding2", modelMatch.get(), 1);
        fillOne("TargetProne2", modelMatch.get(), 2);
    } else {
        fillOne("Target1", docMatch.get(), 0);
        fillOne("Target2", modelMatch.get(), 0);
        // Each column's group centre.
        const std::pair<const char*, const std::optional<InfoStatistics>*> marks[]
            = {{"Target1", &columns_.document}, {"Target2", &columns_.model}};
        for (const auto& [id, stats] : marks)
            if (ITarget* t = target(QString::fromLatin1(id)); t && *stats && (*stats)->hits > 0)
                AddMarkCross(t, (*stats)->meanBreachX, (*stats)->meanBreachY);
    }
    ApplyBreachColors();
}

// Only what the user changed since the field was loaded is taken: a hidden page's fields may still
// show a document that has gone, and must not write it into the one that came.
void CInfoView::commitName()
{
    if (loading_ || !name_->isModified())
        return;
    name_->setModified(false);
    UIShooterNameChange(name_->text());
}

void CInfoView::commitComments()
{
    if (loading_ || !comments_->document()->isModified())
        return;
    comments_->document()->setModified(false);
    UICommentChange(comments_->toPlainText());
}

void CInfoView::CommitPendingEdits()
{
    commitName();
    commitComments();
}

void CInfoView::UIShooterNameChange(const QString& name)
{
    QString current;
    if (!doc_.HasDocument() || !doc_.GetShooterName(&current) || current == name)
        return;
    if (FAILED(doc_.document()->put_ShooterName(name)))
        return;
    doc_.SetModified();
    doc_.UpdateAllViews(this, KavroHint::ShooterName);
}

void CInfoView::UICommentChange(const QString& text)
{
    QString current;
    if (!doc_.HasDocument())
        return;
    doc_.GetComments(&current);
    if (current == text)
        return;
    if (FAILED(doc_.document()->put_Value(QStringLiteral("_comments"), Variant(text))))
        return;
    doc_.SetModified();
    doc_.UpdateAllViews(this, KavroHint::Comments);
}

// The command runs once the button's click is over, as a posted command message would.
void CInfoView::postCommand(int command)
{
    CMainFrameBase* frame = CMainFrameBase::of(doc_);
    if (QWidget* window = frame ? frame->GetWindow() : nullptr)
        QMetaObject::invokeMethod(
            window, [frame, command] { frame->OnCommand(command); }, Qt::QueuedConnection);
}

void CInfoView::UIStartPractice()
{
    postCommand(Cmd::StartPractice);
}
void CInfoView::UIOpen()
{
    postCommand(Cmd::Open);
}

void CInfoView::UISelectionChanged(IShot* shot)
{
    if (!doc_.HasDocument())
        return;
    doc_.SetSelectedShot(shot, this);
}

void CInfoView::UIDblClickShot(IShot* shot)
{
    if (!doc_.HasDocument())
        return;
    UISelectionChanged(shot);
    doc_.StartReplay();
}

void CInfoView::ApplyBreachColors()
{
    const AppOptions& o = theAppOptions();
    for (const char* id : {"Target1", "Target2"})
        if (ITarget* t = target(QString::fromLatin1(id))) {
            t->put_BreachColor(o.BreachColor);
            t->put_SelectedBreachColor(o.SelectedBreachColor);
            t->Refresh();
        }
}

bool CInfoView::SetTargetZoom(float zoom)
{
    if (!doc_.HasDocument())
        return false;
    for (const char* id : {"Target1", "Target2"})
        if (ITarget* t = target(QString::fromLatin1(id)))
            t->put_Zoom(zoom);
    return true;
}

} // namespace kavro::info
// The information page in the view switcher (F4).
KAVRO_REGISTER_VIEW(ViewId::Info, 32788, [](CKavroDoc& doc, QWidget* parent) -> QWidget* {
    return new kavro::info::CInfoView(doc, parent);
});
