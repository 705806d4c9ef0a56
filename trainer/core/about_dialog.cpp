#include "about_dialog.h"

#include "language_module.h"
#include "res_strings.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace kavro {

namespace {

QString buildTime()
{
    // __DATE__ is "Mmm dd yyyy" with a space-padded day; read it in the C locale.
    const QString date = QString::fromLatin1(__DATE__).simplified();
    const QDateTime when = QLocale::c().toDateTime(date + QLatin1Char(' ') + QLatin1String(__TIME__),
                                                   QStringLiteral("MMM d yyyy HH:mm:ss"));
    return when.isValid() ? when.toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                          : date + QLatin1Char(' ') + QLatin1String(__TIME__);
}

// The text is a printf format with one %s; the value goes in without being read as a format.
QString fillStringArgument(const QString& format, const QString& value)
{
    QString out;
    bool filled = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == QLatin1Char('%') && i + 1 < format.size()) {
            const QChar next = format[i + 1];
            if (next == QLatin1Char('%') || (next == QLatin1Char('s') && !filled)) {
                out += next == QLatin1Char('%') ? QString(next) : value;
                filled = filled || next == QLatin1Char('s');
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

} // namespace

QString programVersionText()
{
    return QStringLiteral("%1, %2").arg(QLatin1String(KAVRO_TRAINER_VERSION), buildTime());
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(LoadResString(dialogTextId(IDD_ABOUTBOX, 0)));
    setLayoutDirection(LanguageModule::instance().layoutDirection());

    auto* version = new QLabel(this);
    version->setObjectName(QStringLiteral("version"));
    version->setText(
        fillStringArgument(LoadResString(dialogTextId(IDD_ABOUTBOX, IDC_ABOUT_VERSION)), programVersionText()));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(LoadResString(dialogTextId(IDD_ABOUTBOX, 1)));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(version);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace kavro
