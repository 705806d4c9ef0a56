#include "desktop_registration.h"

#include "ui_text.h"

#include "storage/file/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

// Resources of a static library are registered by hand: nothing else pulls them in.
void ensureProgramResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(kavropro);
        return true;
    }();
    (void)done;
}

namespace {

const QString kDesktopFile = QStringLiteral("applications/kavropro.desktop");
const QString kMimeFile = QStringLiteral("mime/packages/kavropro.xml");
const QString kAppIcon = QStringLiteral("icons/hicolor/scalable/apps/kavropro.svg");
const QString kMimeIcon = QStringLiteral("icons/hicolor/scalable/mimetypes/application-x-kavro.svg");

// Desktop entry values escape backslashes (and control characters) once more.
QString escapeEntryValue(const QString& s)
{
    QString out;
    for (QChar c : s) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else
            out += c;
    }
    return out;
}

QByteArray desktopEntry(const QString& programPath)
{
    const QString title
        = uiText(TextId::ProgramTitle).isEmpty() ? QStringLiteral("KAVRO Professional") : uiText(TextId::ProgramTitle);
    QString s;
    s += QStringLiteral("[Desktop Entry]\n");
    s += QStringLiteral("Type=Application\n");
    s += QStringLiteral("Name=") + escapeEntryValue(title) + QLatin1Char('\n');
    s += QStringLiteral("Comment=Computer-aided training for rifle and pistol shooters\n");
    s += QStringLiteral("Exec=") + escapeEntryValue(quoteDesktopExecArgument(programPath)) + QStringLiteral(" %f\n");
    s += QStringLiteral("Icon=kavropro\n");
    s += QStringLiteral("MimeType=application/x-kavro;\n");
    s += QStringLiteral("Categories=Education;Sports;\n");
    s += QStringLiteral("Terminal=false\n");
    return s.toUtf8();
}

QByteArray mimeInfo()
{
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                             "  <mime-type type=\"application/x-kavro\">\n"
                             "    <comment>KAVRO practice</comment>\n"
                             // A practice is a compound file: programs that know only that type
                             // still offer to open it.
                             "    <sub-class-of type=\"application/x-ole-storage\"/>\n"
                             "    <icon name=\"application-x-kavro\"/>\n"
                             "    <glob pattern=\"*.kavro\"/>\n"
                             "  </mime-type>\n"
                             "</mime-info>\n");
}

QByteArray resourceBytes(const QString& name)
{
    ensureProgramResources();
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The desktop's caches are refreshed when their tools are installed; without them the files
// still take effect the next time the desktop rebuilds its caches.
void refreshCaches(const QString& home)
{
    auto run = [](const QString& tool, const QStringList& args) {
        const QString path = QStandardPaths::findExecutable(tool);
        if (!path.isEmpty())
            QProcess::execute(path, args);
    };
    run(QStringLiteral("update-mime-database"), {home + QStringLiteral("/mime")});
    run(QStringLiteral("update-desktop-database"), {home + QStringLiteral("/applications")});
}

} // namespace

QString desktopDataHome()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    // The base directory specification ignores relative paths.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.local/share");
}

QStringList desktopRegistrationFiles()
{
    return {kDesktopFile, kMimeFile, kAppIcon, kMimeIcon};
}

QString quoteDesktopExecArgument(const QString& arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = arg.isEmpty();
    for (QChar c : arg)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString escaped = arg;
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%")); // field codes
    if (!needsQuotes)
        return escaped;
    QString out = QStringLiteral("\"");
    for (QChar c : escaped) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('"');
}

DesktopRegistrationResult RegisterWithDesktop(const QString& programPath)
{
    const QString home = desktopDataHome();
    const QByteArray icon = resourceBytes(QStringLiteral(":/kavropro/kavropro.svg"));
    const std::pair<QString, QByteArray> files[] = {
        {kDesktopFile, desktopEntry(programPath)},
        {kMimeFile, mimeInfo()},
        {kAppIcon, icon},
        {kMimeIcon, icon},
    };
    for (const auto& [relative, bytes] : files) {
        const QString path = home + QLatin1Char('/') + relative;
        if (!QDir().mkpath(QFileInfo(path).path()) || FAILED(writeFileReplace(path, bytes)))
            return {false, QStringLiteral("Unable to write %1.").arg(path)};
    }
    refreshCaches(home);
    return {};
}

DesktopRegistrationResult UnregisterFromDesktop()
{
    const QString home = desktopDataHome();
    for (const QString& relative : desktopRegistrationFiles()) {
        const QString path = home + QLatin1Char('/') + relative;
        if (QFileInfo::exists(path) && !QFile::remove(path))
            return {false, QStringLiteral("Unable to remove %1.").arg(path)};
    }
    refreshCaches(home);
    return {};
}
