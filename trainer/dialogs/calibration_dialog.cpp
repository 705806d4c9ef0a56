#include "calibration_dialog.h"

#include "color_button.h"
#include "dialog_texts.h"
#include "window_rect.h"

#include "com/olecolor.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>
#include <numbers>

namespace kavro::trainer {

namespace {

const QString kPlacement = QStringLiteral("WindowRectCalibration");

constexpr uint16_t IDC_PIEZO_LABEL = 1015;
constexpr uint16_t IDC_LEDS_LABEL = 1016;
constexpr uint16_t IDC_LAMPS_LABEL = 1018;
constexpr uint16_t IDC_INSTRUCTION = 1014;
constexpr uint16_t IDC_INSTRUCTION_IMAGE_SENSOR = 2014;
constexpr uint32_t IDS_WIRELESS_INSTRUCTION = 61288;

class PictureArea final : public QWidget {
public:
    PictureArea(const CalibrationSession& session, QWidget* parent) : QWidget(parent), session_(session)
    {
        setMinimumSize(240, 240);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        // Drawn whole into an image first, so the picture never flickers at 25 repaints a second.
        QImage image(size(), QImage::Format_RGB32);
        {
            QPainter p(&image);
            paintCalibrationPicture(p, image.rect(), session_);
        }
        QPainter(this).drawImage(0, 0, image);
    }

private:
    const CalibrationSession& session_;
};

QSlider* slider(int min, int max, int position, QWidget* parent)
{
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setRange(min, max);
    s->setValue(position);
    return s;
}

} // namespace

CSensingProgressBarCtrl::CSensingProgressBarCtrl(QWidget* parent) : QWidget(parent)
{
    setMinimumWidth(12);
}

void CSensingProgressBarCtrl::setValue(int value)
{
    value = std::clamp(value, 0, 511);
    if (value == value_)
        return;
    value_ = value;
    update();
}

void CSensingProgressBarCtrl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    for (const BarSegment& s : sensingBarSegments(value_, height()))
        p.fillRect(QRect(0, s.top, width(), s.bottom - s.top), s.red ? QColor(255, 0, 0) : QColor(0, 255, 0));
}

void paintCalibrationPicture(QPainter& p, const QRect& area, const CalibrationSession& s)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(area, QColor(192, 192, 192));
    const int margin = 2 * (area.width() / 25);
    const int side = std::max(2, std::min(area.width(), area.height()) - 2 * margin);
    const QRect square(area.left() + (area.width() - side) / 2, area.top() + (area.height() - side) / 2, side, side);
    const double cx = square.left() + side / 2.0, cy = square.top() + side / 2.0, h = side / 2.0;
    const double r = s.scaleRadius();
    const auto at = [&](double x, double y) { return QPointF(cx + x * h / r, cy + y * h / r); };

    const bool preview = s.variant() == CalibrationVariant::ImageSensor && s.imageOption(7) && !s.preview().isNull();
    if (preview) {
        QPainterPath ellipse;
        ellipse.addEllipse(QRectF(square));
        p.setClipPath(ellipse);
        p.translate(cx, cy);
        if (const auto angle = s.previewRotation())
            p.rotate(*angle * 180.0 / std::numbers::pi);
        p.scale(-1, -1); // the camera sees the target mirrored in both axes
        p.drawImage(QRectF(-h, -h, 2 * h, 2 * h), s.preview());
        p.resetTransform();
        p.setClipping(false);
    } else {
        p.setPen(QPen(Qt::white, 1));
        p.setBrush(Qt::NoBrush);
        for (float radius : s.circleRadii()) {
            const double pr = radius * h / r;
            p.drawEllipse(QPointF(cx, cy), pr, pr);
        }
    }

    if (s.direction() >= 0) {
        const double theta = s.direction() * std::numbers::pi / 180.0;
        const QPointF tip(cx + std::sin(theta) * (h + 2), cy + std::cos(theta) * (h + 2));
        const double arm = 2.0 * margin;
        const QPointF a
            = tip + QPointF(std::sin(theta - std::numbers::pi / 6), std::cos(theta - std::numbers::pi / 6)) * arm;
        const QPointF b
            = tip + QPointF(std::sin(theta + std::numbers::pi / 6), std::cos(theta + std::numbers::pi / 6)) * arm;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 0, 0));
        p.drawPolygon(QPolygonF({tip, a, b}));
    }

    if (s.shotShown()) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 255));
        p.drawEllipse(at(s.shotX(), s.shotY()), 5, 5);
    } else if (s.pointValid()) {
        const QPointF point = at(s.pointX(), s.pointY());
        const QPoint pixel = point.toPoint();
        // Crisp one-pixel lines: the shooter lines the sensor up along them.
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(Qt::white, 0));
        p.drawLine(area.left(), pixel.y(), area.right(), pixel.y());
        p.drawLine(pixel.x(), area.top(), pixel.x(), area.bottom());
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(point, 5, 5);
    }

    if (s.variant() == CalibrationVariant::Wireless) {
        const QString line = s.statusLine();
        if (!line.isEmpty()) {
            QFont font(QStringLiteral("Helvetica"));
            font.setPixelSize(16);
            p.setFont(font);
            p.setPen(Qt::black);
            p.drawText(QPointF(area.left() + 8, area.bottom() - 8), line);
        }
    }
    p.restore();
}

CCalibrationDlg::CCalibrationDlg(IKavroDevice* device, CalibrationHost host, QWidget* parent)
    : QDialog(parent), session_(new CalibrationSession(device, std::move(host), this))
{
    setWindowTitle(dialogText(IDD_CALIBRATION, 0));
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    instruction_ = new QLabel(dialogText(IDD_CALIBRATION, IDC_INSTRUCTION), this);
    instruction_->setWordWrap(true);
    layout->addWidget(instruction_);

    auto* middle = new QHBoxLayout;
    bar_ = new CSensingProgressBarCtrl(this);
    picture_ = new PictureArea(*session_, this);
    middle->addWidget(bar_);
    middle->addWidget(picture_, 1);
    layout->addLayout(middle, 1);

    auto* controls = new QGridLayout;
    piezoLabel_ = new QLabel(this);
    piezo_ = slider(5, 1023, session_->piezoPosition(), this);
    ledsLabel_ = new QLabel(this);
    leds_ = slider(0, 7, session_->ledsAvailable() ? session_->leds() : 0, this);
    leds_->setEnabled(session_->ledsAvailable());
    lampsLabel_ = new QLabel(this);
    lamps_ = slider(0, 7, session_->lampsAvailable() ? session_->lamps() : 0, this);
    lamps_->setEnabled(session_->lampsAvailable());
    controls->addWidget(piezoLabel_, 0, 0);
    controls->addWidget(piezo_, 0, 1);
    controls->addWidget(ledsLabel_, 1, 0);
    controls->addWidget(leds_, 1, 1);
    controls->addWidget(lampsLabel_, 2, 0);
    controls->addWidget(lamps_, 2, 1);
    int row = 3;
    for (const ImageSensorOption& o : imageSensorOptions()) {
        auto* box = new QCheckBox(dialogText(IDD_CALIBRATION, o.controlId), this);
        box->hide();
        controls->addWidget(box, row++, 0, 1, 2);
        optionBoxes_.emplace_back(o.valueIndex, box);
    }
    gain_ = slider(CalibrationSession::kPreviewGainMin, CalibrationSession::kPreviewGainMax, session_->previewGain(),
                   this);
    gain_->hide();
    controls->addWidget(gain_, row, 0, 1, 2);
    layout->addLayout(controls);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(dialogText(IDD_CALIBRATION, 1));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);

    // Room for the widest the label gets, so that it never jumps or cuts.
    piezoLabel_->setMinimumWidth(piezoLabel_->fontMetrics().horizontalAdvance(
                                     formatResString(dialogTextId(IDD_CALIBRATION, IDC_PIEZO_LABEL), 100.0))
                                 + 8);
    updatePiezoLabel();
    ledsLabel_->setText(formatResString(dialogTextId(IDD_CALIBRATION, IDC_LEDS_LABEL), leds_->value()));
    lampsLabel_->setText(formatResString(dialogTextId(IDD_CALIBRATION, IDC_LAMPS_LABEL), lamps_->value()));
    connect(piezo_, &QSlider::valueChanged, this, [this](int v) {
        session_->setPiezo(v);
        updatePiezoLabel();
    });
    connect(leds_, &QSlider::valueChanged, this, [this](int v) {
        session_->setLeds(v);
        ledsLabel_->setText(formatResString(dialogTextId(IDD_CALIBRATION, IDC_LEDS_LABEL), v));
    });
    connect(lamps_, &QSlider::valueChanged, this, [this](int v) {
        session_->setLamps(v);
        lampsLabel_->setText(formatResString(dialogTextId(IDD_CALIBRATION, IDC_LAMPS_LABEL), v));
    });
    connect(gain_, &QSlider::valueChanged, this, [this](int v) { session_->setPreviewGain(v); });

    session_->begin();
    switch (session_->variant()) {
    case CalibrationVariant::ImageSensor:
        instruction_->setText(dialogText(IDD_CALIBRATION, IDC_INSTRUCTION_IMAGE_SENSOR));
        for (QWidget* w : {static_cast<QWidget*>(ledsLabel_), static_cast<QWidget*>(leds_),
                           static_cast<QWidget*>(lampsLabel_), static_cast<QWidget*>(lamps_)})
            w->hide();
        for (auto [index, box] : optionBoxes_) {
            box->setChecked(session_->imageOption(index));
            box->show();
            connect(box, &QCheckBox::toggled, this, [this, index = index](bool on) {
                session_->setImageOption(index, on);
                if (index == 7)
                    gain_->setVisible(on);
            });
        }
        break;
    case CalibrationVariant::Wireless: instruction_->setText(LoadResString(IDS_WIRELESS_INSTRUCTION)); break;
    case CalibrationVariant::Serial: break;
    }

    connect(session_, &CalibrationSession::repaintNow, picture_, qOverload<>(&QWidget::update));
    connect(session_, &CalibrationSession::signalChanged, bar_, &CSensingProgressBarCtrl::setValue);
    connect(session_, &CalibrationSession::finished, this, &QDialog::accept, Qt::QueuedConnection);
    resize(420, 560);
    RestoreWindowRect(this, kPlacement);
}

CCalibrationDlg::~CCalibrationDlg()
{
    session_->end();
}

QCheckBox* CCalibrationDlg::imageOptionBox(int valueIndex) const
{
    for (auto [index, box] : optionBoxes_)
        if (index == valueIndex)
            return box;
    return nullptr;
}

void CCalibrationDlg::updatePiezoLabel()
{
    piezoLabel_->setText(
        formatResString(dialogTextId(IDD_CALIBRATION, IDC_PIEZO_LABEL), piezo_->value() * 100.0 / 1023.0));
}

void CCalibrationDlg::done(int result)
{
    session_->end();
    SaveWindowRect(this, kPlacement);
    QDialog::done(result);
}

int runCalibrationDialog(QWidget* parent, IKavroDevice* device, CalibrationHost host)
{
    CCalibrationDlg dlg(device, std::move(host), parent);
    return dlg.exec();
}

} // namespace kavro::trainer
