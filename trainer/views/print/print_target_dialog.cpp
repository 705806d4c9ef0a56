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
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <cmath>

Q_DECLARE_METATYPE(IEventParams*)

namespace kavro::print {

namespace {

QString dialogText(uint16_t control)
{
    return LoadResString(dialogTextId(IDD_PRINT_TARGET, control));
}

// The distance edit with its up-down: a typed distance is taken as typed (the card prints two
// decimals) and the arrows step to the next tenth. Enter on a distance that does not read goes to
// `refuse` before the spin box or its edit could put the last good value back.
class DistanceBox final : public QDoubleSpinBox {
public:
    DistanceBox(QWidget* parent, std::function<void()> refuse) : QDoubleSpinBox(parent), m_refuse(std::move(refuse))
    {
        setDecimals(6);
        setRange(kMinTargetDistance, kMaxTargetDistance);
        setSingleStep(0.1);
    }

    QString textFromValue(double value) const override { return locale().toString(value, 'g', 6); }

    void stepBy(int steps) override
    {
        const double tenths = value() * 10;
        const double from = steps > 0 ? std::floor(tenths + 1e-6) : std::ceil(tenths - 1e-6);
        setValue((from + steps) / 10);
        selectAll();
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!refused(event))
            QDoubleSpinBox::keyPressEvent(event);
    }

private:
    bool refused(QKeyEvent* event)
    {
        if ((event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) || hasAcceptableInput())
            return false;
        m_refuse();
        return true;
    }

    std::function<void()> m_refuse;
};

} // namespace

// The page drawn scaled into the area, white on the button-shadow colour.
class CPrintTargetDlg::Preview final : public QWidget {
public:
    explicit Preview(CPrintTargetDlg* dialog) : QWidget(dialog), m_dialog(dialog) { setMinimumSize(260, 360); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        if (!m_dialog->BuildTargetPage())
            return;
        const PageGeometry& g = m_dialog->m_geometry;
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
        DrawPrintoutPage(*m_dialog->m_page, &painter);
    }

private:
    CPrintTargetDlg* m_dialog;
};

CPrintTargetDlg::CPrintTargetDlg(QPrinter& printer, const QString& jobName, QWidget* parent)
    : QDialog(parent), m_printer(printer), m_jobName(jobName)
{
    setWindowTitle(dialogText(0));
    auto* outer = new QHBoxLayout(this);
    auto* left = new QGridLayout;
    outer->addLayout(left);
    left->addWidget(new QLabel(dialogText(IDC_EVENT_LABEL), this), 0, 0, 1, 2);
    m_events = new QListWidget(this);
    m_events->setObjectName(QStringLiteral("events"));
    left->addWidget(m_events, 1, 0, 1, 2);
    left->addWidget(new QLabel(dialogText(IDC_TYPE_LABEL), this), 2, 0, 1, 2);
    m_type = new QComboBox(this);
    for (uint32_t i = 0; i < 4; ++i)
        m_type->addItem(LoadResString(IDS_TARGET_TYPE_FIRST + i));
    m_type->setCurrentIndex(1);
    left->addWidget(m_type, 3, 0, 1, 2);
    left->addWidget(new QLabel(dialogText(IDC_DISTANCE_LABEL), this), 4, 0, 1, 2);
    m_distance = new DistanceBox(this, [this] { refuseDistance(); });
    m_distance->setValue(10.0);
    left->addWidget(m_distance, 5, 0);
    left->addWidget(new QLabel(dialogText(IDC_METERS_LABEL), this), 5, 1);
    m_rings = new QCheckBox(dialogText(IDC_SCORE_RINGS), this);
    m_rings->setChecked(true);
    left->addWidget(m_rings, 6, 0, 1, 2);
    m_clip = new QCheckBox(LoadResString(IDS_PRINT_TARGET_CLIP), this);
    m_clip->setChecked(true);
    left->addWidget(m_clip, 7, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    auto* print = new QPushButton(dialogText(IDC_PRINT), this);
    auto* close = new QPushButton(dialogText(IDC_CLOSE), this);
    m_expand = new QPushButton(dialogText(IDC_EXPAND), this);
    for (QPushButton* b : {print, close, m_expand})
        b->setAutoDefault(false);
    buttons->addWidget(print);
    buttons->addWidget(close);
    buttons->addWidget(m_expand);
    left->addLayout(buttons, 8, 0, 1, 2);

    auto* right = new QVBoxLayout;
    m_previewLabel = new QLabel(dialogText(IDC_PREVIEW_LABEL), this);
    right->addWidget(m_previewLabel);
    m_preview = new Preview(this);
    right->addWidget(m_preview, 1);
    outer->addLayout(right, 1);

    // The events, nearest distance last, as the event lists of the program show them.
    if (FAILED(createInstance(kavrodoc::CLSID_EventManager, &m_manager)) || !m_manager) {
        QTimer::singleShot(0, this, &QDialog::reject);
    } else {
        std::vector<ComPtr<IEventParams>> all;
        int32_t n = 0;
        m_manager->get_Count(&n);
        for (int32_t i = 1; i <= n; ++i) {
            ComPtr<IEventParams> e;
            if (SUCCEEDED(m_manager->get_Item(i, e.put())) && e)
                all.push_back(e);
        }
        const int lang = uiLanguageId();
        std::stable_sort(all.begin(), all.end(), [lang](const ComPtr<IEventParams>& a, const ComPtr<IEventParams>& b) {
            return CompareEvents(a.get(), b.get(), lang);
        });
        for (const ComPtr<IEventParams>& e : all) {
            QString name;
            e->get_Name(&name);
            auto* item = new QListWidgetItem(name, m_events);
            item->setData(Qt::UserRole, QVariant::fromValue(e.get()));
        }
        if (m_events->count())
            m_events->setCurrentRow(0);
    }

    connect(m_events, &QListWidget::currentRowChanged, this, [this] { discard(); });
    connect(m_type, &QComboBox::currentIndexChanged, this, [this] { discard(); });
    connect(m_rings, &QCheckBox::toggled, this, [this] { discard(); });
    connect(m_clip, &QCheckBox::toggled, this, [this] { discard(); });
    connect(m_distance, &QDoubleSpinBox::valueChanged, this, [this] { discard(); });
    connect(print, &QPushButton::clicked, this, [this] { PrintPage(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_expand, &QPushButton::clicked, this, [this] { setExpanded(!m_expanded); });
    setExpanded(false);
}

CPrintTargetDlg::~CPrintTargetDlg() = default;

TargetPageRequest CPrintTargetDlg::request() const
{
    TargetPageRequest r;
    if (QListWidgetItem* item = m_events->currentItem())
        r.event = item->data(Qt::UserRole).value<IEventParams*>();
    r.type = CardType(std::clamp(m_type->currentIndex(), 0, 3));
    r.distance = float(m_distance->value());
    r.scoreRings = m_rings->isChecked();
    r.clip = m_clip->isChecked();
    return r;
}

void CPrintTargetDlg::discard()
{
    m_page.reset();
    m_preview->update();
}

void CPrintTargetDlg::failed()
{
    KavroMessageBox(this, LoadResString(IDS_PRINT_FAILED), QMessageBox::Critical);
}

bool CPrintTargetDlg::BuildTargetPage()
{
    if (m_page)
        return true;
    m_geometry = printerGeometry(m_printer, ReportMargins{0, 0, 0, 0});
    m_page = kavro::print::BuildTargetPage(request(), m_geometry);
    return m_page.has_value();
}

bool CPrintTargetDlg::PrintPage()
{
    if (!BuildTargetPage()) {
        failed();
        return false;
    }
    if (!askPrinter(m_printer, this, 1))
        return false;
    // The chosen printer's sheet decides where the page goes.
    discard();
    if (!BuildTargetPage()) {
        failed();
        return false;
    }
    m_printer.setDocName(m_jobName);
    PrintoutPages pages;
    pages.push_back(std::move(*m_page));
    const bool ok = printPages(m_printer, pages);
    m_page = std::move(pages.front());
    if (!ok)
        failed();
    return ok;
}

void CPrintTargetDlg::refuseDistance()
{
    QApplication::beep();
    m_distance->setFocus();
    m_distance->selectAll();
}

void CPrintTargetDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter takes the settings and closes; the buttons are not defaults, so it never prints.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!m_distance->hasAcceptableInput())
            return refuseDistance();
        m_distance->interpretText();
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
    m_expanded = expanded;
    m_previewLabel->setVisible(expanded);
    m_preview->setVisible(expanded);
    m_expand->setText(expanded ? QStringLiteral("<<") : dialogText(IDC_EXPAND));
    adjustSize();
}

} // namespace kavro::print
