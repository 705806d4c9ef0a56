#include "help.h"

#include "language_module.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QPointer>
#include <QRegularExpression>

namespace kavro {

namespace {

const QString kContentsPage = QStringLiteral("index.html");

bool openInBrowser(const QUrl& url)
{
    return !url.isEmpty() && QDesktopServices::openUrl(url);
}

class DialogHelpKey final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !isHelpKey(*static_cast<QKeyEvent*>(event)))
            return false;
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || !qobject_cast<QDialog*>(widget->window()))
            return false;
        ShowHelpContents();
        return true;
    }
};

} // namespace

QUrl helpContentsUrl()
{
    const QString path = LanguageModule::instance().helpFolder() + kContentsPage;
    return QFile::exists(path) ? QUrl::fromLocalFile(path) : QUrl();
}

QUrl helpUrlForCommand(uint32_t commandId)
{
    const QDir folder(LanguageModule::instance().helpFolder());
    const QRegularExpression anchor(QStringLiteral("\\bid=\"%1\"").arg(commandId));
    const QStringList pages = folder.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    for (const QString& page : pages) {
        QFile file(folder.filePath(page));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        if (anchor.match(QString::fromUtf8(file.readAll())).hasMatch()) {
            QUrl url = QUrl::fromLocalFile(folder.filePath(page));
            url.setFragment(QString::number(commandId));
            return url;
        }
    }
    return helpContentsUrl();
}

bool ShowHelpContents()
{
    return openInBrowser(helpContentsUrl());
}

bool ShowHelpForCommand(uint32_t commandId)
{
    return openInBrowser(helpUrlForCommand(commandId));
}

bool isHelpKey(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers held = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    return key.key() == Qt::Key_F1 && !(key.modifiers() & held) && !key.isAutoRepeat();
}

void InstallDialogHelpKey(QCoreApplication* app)
{
    static QPointer<QObject> installed;
    if (app && !installed) {
        installed = new DialogHelpKey(app);
        app->installEventFilter(installed);
    }
}

} // namespace kavro
