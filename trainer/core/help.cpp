#include "help.h"

#include "language_module.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace kavro {

namespace {

const QString kContentsPage = QStringLiteral("index.html");

bool openInBrowser(const QUrl& url)
{
    return !url.isEmpty() && QDesktopServices::openUrl(url);
}

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

} // namespace kavro
