#include "print_target_dialog.h"

#include "com/classregistry.h"
#include "doc_helpers.h"
#include "message_box.h"
#include "print_strings.h"
#include "printer_output.h"
#include "report_printing.h"
#include "res_strings.h"
#include "ui_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

Q_DECLARE_METATYPE(IEventParams*)

namespace kavro::print {

namespace {

QString dialogText(uint16_t control)
{
    return LoadResString(dialogTextId(IDD_PRINT_TARGET, control));
}

} // namespace

TargetDistanceBox::TargetDistanceBox(QWidget* parent) : QAbstractSpinBox(parent)
{
    setValue(value_);
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000.0000")) + 24);
    connect(lineEdit(), &QLineEdit::textChanged, this, [this](const QString& text) { textEdited(text); });
}

void TargetDistanceBox::setValue(double metres)
{
    metres = std::clamp(metres, double(kMinTargetDistance), double(kMaxTargetDistance));
    lineEdit()->setText(locale().toString(metres, 'g', 6));
    value_ = metres; // also when the text reads back a little differently
}

std::optional<float> TargetDistanceBox::reading() const
{
    return readTargetDistance(lineEdit()->text(), locale());
}

void TargetDistanceBox::textEdited(const QString& text)
{
    const std::optional<float> metres = readTargetDistance(text, locale());
    if (!metres || double(*metres) == value_)
        return;
    value_ = *metres;
    if (changed)
        changed();
}

void TargetDistanceBox::stepBy(int steps)
{
    const double tenths = value_ * 10;
    const double from = steps > 0 ? std::floor(tenths + 1e-6) : std::ceil(tenths - 1e-6);
    setValue((from + steps) / 10); // the edit's change tells the tool
    selectAll();
}

QAbstractSpinBox::StepEnabled TargetDistanceBox::stepEnabled() const
{
    StepEnabled e = StepNone;
    if (value_ < kMaxTargetDistance)
        e |= StepUpEnabled;
    if (value_ > kMinTargetDistance)
        e |= StepDownEnabled;
    return e;
}

// The page drawn scaled into the area, white on the button-shadow colour.
class CPrintTargetDlg::Preview final : public QWidget {
public:
    explicit Preview(CPrintTargetDlg* dialog) : QWidget(dialog), dialog_(dialog) { setMinimumSize(260, 360); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        if (!dialog_->BuildTargetPage())
            return;
        const PageGeometry& g = dialog_->geometry_;
        const QRect area = rect().adjusted(10, 10, -10, -10);
        if (area.isEmpty() || g.paper.isEmpty())
            return;
        const double scale = std::min(area.width() / double(g.paper.width()), area.height() / double(g.paper.height()));
        const QSizeF size(g.paper.width() * scale, g.paper.height() * scale);
        const QRectF sheet(area.left() + (area.width() - size.width()) / 2,
                           area.top() + (area.height() - size.height()) / 2, size.width(), size.height());
        painter.fillRect(sheet, Qt::white);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(sheet.topLeft());
        painter.scale(scale, scale);
        DrawPrintoutPage(*dialog_->page_, &painter);
    }

private:
    CPrintTargetDlg* dialog_;
};

CPrintTargetDlg::CPrintTargetDlg(QPrinter& printer, const QString& jobName, IEventParams* event, QWidget* parent)
    : QDialog(parent), printer_(printer), jobName_(jobName)
{
    setWindowTitle(dialogText(0));
    auto* outer = new QHBoxLayout(this);
    auto* left = new QGridLayout;
    outer->addLayout(left);
    left->addWidget(new QLabel(dialogText(IDC_EVENT_LABEL), this), 0, 0, 1, 2);
    events_ = new QListWidget(this);
    events_->setObjectName(QStringLiteral("events"));
    left->addWidget(events_, 1, 0, 1, 2);
    left->addWidget(new QLabel(dialogText(IDC_TYPE_LABEL), this), 2, 0, 1, 2);
    type_ = new QComboBox(this);
    for (uint32_t i = 0; i < 4; ++i)
        type_->addItem(LoadResString(IDS_TARGET_TYPE_FIRST + i));
    type_->setCurrentIndex(1);
    left->addWidget(type_, 3, 0, 1, 2);
    left->addWidget(new QLabel(dialogText(IDC_DISTANCE_LABEL), this), 4, 0, 1, 2);
    distance_ = new TargetDistanceBox(this);
    left->addWidget(distance_, 5, 0);
    left->addWidget(new QLabel(dialogText(IDC_METERS_LABEL), this), 5, 1);
    rings_ = new QCheckBox(dialogText(IDC_SCORE_RINGS), this);
    rings_->setChecked(true);
    left->addWidget(rings_, 6, 0, 1, 2);
    clip_ = new QCheckBox(LoadResString(IDS_PRINT_TARGET_CLIP), this);
    clip_->setChecked(true);
    left->addWidget(clip_, 7, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    auto* print = new QPushButton(dialogText(IDC_PRINT), this);
    auto* close = new QPushButton(dialogText(IDC_CLOSE), this);
    expand_ = new QPushButton(dialogText(IDC_EXPAND), this);
    for (QPushButton* b : {print, close, expand_})
        b->setAutoDefault(false);
    buttons->addWidget(print);
    buttons->addWidget(close);
    buttons->addWidget(expand_);
    left->addLayout(buttons, 8, 0, 1, 2);

    auto* right = new QVBoxLayout;
    previewLabel_ = new QLabel(dialogText(IDC_PREVIEW_LABEL), this);
    right->addWidget(previewLabel_);
    preview_ = new Preview(this);
    right->addWidget(preview_, 1);
    outer->addLayout(right, 1);

    // The events, nearest distance last, as the event lists of the program show them.
    if (FAILED(createInstance(kavrodoc::CLSID_EventManager, &manager_)) || !manager_) {
        QTimer::singleShot(0, this, &QDialog::reject);
    } else {
        std::vector<ComPtr<IEventParams>> all;
        int32_t n = 0;
        manager_->get_Count(&n);
        for (int32_t i = 1; i <= n; ++i) {
            ComPtr<IEventParams> e;
            if (SUCCEEDED(manager_->get_Item(i, e.put())) && e)
                all.push_back(e);
        }
        const int lang = uiLanguageId();
        std::stable_sort(all.begin(), all.end(), [lang](const ComPtr<IEventParams>& a, const ComPtr<IEventParams>& b) {
            return CompareEvents(a.get(), b.get(), lang);
        });
        QString wanted;
        if (event)
            event->get_ShortName(&wanted);
        int current = 0;
        for (const ComPtr<IEventParams>& e : all) {
            QString name, shortName;
            e->get_Name(&name);
            e->get_ShortName(&shortName);
            if (!wanted.isEmpty() && shortName == wanted)
                current = events_->count();
            auto* item = new QListWidgetItem(name, events_);
            item->setData(Qt::UserRole, QVariant::fromValue(e.get()));
        }
        if (events_->count()) {
            events_->setCurrentRow(current);
            events_->scrollToItem(events_->currentItem());
        }
    }

    connect(events_, &QListWidget::currentRowChanged, this, [this] { discard(); });
    connect(type_, &QComboBox::currentIndexChanged, this, [this] { discard(); });
    connect(rings_, &QCheckBox::toggled, this, [this] { discard(); });
    connect(clip_, &QCheckBox::toggled, this, [this] { discard(); });
    distance_->changed = [this] { discard(); };
    connect(print, &QPushButton::clicked, this, [this] { PrintPage(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(expand_, &QPushButton::clicked, this, [this] { setExpanded(!expanded_); });
    setExpanded(false);
}

CPrintTargetDlg::~CPrintTargetDlg() = default;

TargetPageRequest CPrintTargetDlg::request() const
{
    TargetPageRequest r;
    if (QListWidgetItem* item = events_->currentItem())
        r.event = item->data(Qt::UserRole).value<IEventParams*>();
    r.type = CardType(std::clamp(type_->currentIndex(), 0, 3));
    r.distance = float(distance_->value());
    r.scoreRings = rings_->isChecked();
    r.clip = clip_->isChecked();
    return r;
}

void CPrintTargetDlg::discard()
{
    page_.reset();
    preview_->update();
}

void CPrintTargetDlg::failed()
{
    KavroMessageBox(this, LoadResString(IDS_PRINT_FAILED), QMessageBox::Critical);
}

bool CPrintTargetDlg::BuildTargetPage()
{
    if (page_)
        return true;
    geometry_ = printerGeometry(printer_, ReportMargins{0, 0, 0, 0});
    page_ = kavro::print::BuildTargetPage(request(), geometry_);
    return page_.has_value();
}

bool CPrintTargetDlg::PrintPage()
{
    if (refuseDistance())
        return false;
    if (!BuildTargetPage()) {
        failed();
        return false;
    }
    if (!askPrinter(printer_, this, 1))
        return false;
    // The chosen printer's sheet decides where the page goes.
    discard();
    if (!BuildTargetPage()) {
        failed();
        return false;
    }
    printer_.setDocName(jobName_);
    PrintoutPages pages;
    pages.push_back(std::move(*page_));
    const bool ok = printPages(printer_, pages);
    page_ = std::move(pages.front());
    if (!ok)
        failed();
    return ok;
}

bool CPrintTargetDlg::refuseDistance()
{
    if (distance_->reading())
        return false;
    QApplication::beep();
    distance_->setFocus();
    distance_->selectAll();
    return true;
}

void CPrintTargetDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter takes the settings and closes; the buttons are not defaults, so it never prints.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!refuseDistance())
            accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CPrintTargetDlg::setExpanded(bool expanded)
{
    if (expanded && !BuildTargetPage()) {
        failed();
        return;
    }
    expanded_ = expanded;
    previewLabel_->setVisible(expanded);
    preview_->setVisible(expanded);
    expand_->setText(expanded ? QStringLiteral("<<") : dialogText(IDC_EXPAND));
    adjustSize();
}

} // namespace kavro::print
