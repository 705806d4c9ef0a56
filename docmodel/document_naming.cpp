#include "document_naming.h"

#include "com/oledate.h"
#include "settings/settings.h"

#include <QDir>

namespace kavrodoc {

namespace {

constexpr int kLongestName = 50;
// The value is read as text into a buffer of this size; longer data does not fit and counts as
// no value.
constexpr qsizetype kValueBuffer = 260;

bool isDotCandidate(QChar c)
{
    return QStringLiteral("\"*/:<>?\\|").contains(c);
}

// The value's bytes whatever its type, as the settings hand them to a text read.
QByteArray valueBytes(const SettingsValue& value)
{
    switch (value.type) {
    case REG_SZ: return value.string.toUtf8() + '\0';
    case REG_DWORD: {
        const uint32_t v = value.dword;
        const char b[4] = {char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff), char(v >> 24)};
        return QByteArray(b, 4);
    }
    default: return value.binary;
    }
}

} // namespace

QString cleanShooterName(const QString& name)
{
    // The narrow code page is UTF-8, so only unpaired surrogates come back changed ("?").
    QString narrowed = QString::fromUtf8(name.toUtf8());
    qsizetype length = std::min<qsizetype>(narrowed.size(), kLongestName);
    if (length > 0 && length < narrowed.size() && narrowed[length - 1].isHighSurrogate())
        --length; // never half a character
    QString out;
    auto appendCandidate = [&out](QChar c) {
        if (!out.isEmpty() && !out.endsWith(QLatin1Char(' ')) && !out.endsWith(QLatin1Char('.')))
            out.append(c);
    };
    for (qsizetype i = 0; i < length; ++i) {
        const QChar c = narrowed[i];
        if (c == QLatin1Char(' '))
            appendCandidate(c);
        else if (isDotCandidate(c))
            appendCandidate(QLatin1Char('.'));
        else if (c.unicode() >= 32)
            out.append(c);
    }
    return out;
}

bool formatTimeStamp(DATE date, QString* out)
{
    kavro::DateFields f;
    if (!kavro::dateToFields(date, &f))
        return false;
    *out = QString::asprintf("%02d-%02d-%02d %02d-%02d-%02d", f.day, f.month, f.year % 100, f.hour, f.minute, f.second);
    return true;
}

QString uniqueDocumentPath(const QString& folder, const QString& name, const QString& stamp, int suffix)
{
    const QString tail = suffix > 0 ? QStringLiteral("-%1").arg(suffix) : QString();
    return folder + name + QLatin1Char(' ') + stamp + tail + QStringLiteral(".kavro");
}

QString catalogPath()
{
    SettingsKey key;
    SettingsValue value;
    if (SUCCEEDED(SettingsKey::open(SettingsRoot::LocalMachine, QStringLiteral("Software\\Kavro"), &key))
        && SUCCEEDED(key.queryValue(QStringLiteral("InstallDir2"), &value))) {
        QByteArray bytes = valueBytes(value);
        if (!bytes.isEmpty() && bytes.size() <= kValueBuffer) {
            const qsizetype end = bytes.indexOf('\0');
            const QString text = QString::fromUtf8(end < 0 ? bytes : bytes.left(end));
            // An empty text would make the file system's root the catalog. A folder written
            // with its own trailing separators keeps one: "//" in a path would never compare
            // equal to the paths the folder walk and other programs give for the same files.
            if (!text.isEmpty()) {
                qsizetype end = text.size();
                while (end > 0 && text[end - 1] == QLatin1Char('/'))
                    --end;
                return text.left(end) + QLatin1Char('/');
            }
        }
    }
    return QDir::homePath() + QStringLiteral("/Kavro catalog/");
}

} // namespace kavrodoc
