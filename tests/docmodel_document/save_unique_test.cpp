// Saving under a unique name: the name part from the shooter, the time stamp from the first match
// shot, suffixes for names taken, and never a file replaced or left half-written.
#include "support/document_fixture.h"
#include "document_naming.h"
#include "kavro_document.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kavrodoc;
using namespace doctest;

namespace {

constexpr DATE kMatchEnter = 45123.375 + 60.0 / 86400; // the synthetic practice's first match aiming

QString savedName(IKavroDocument* doc, const QString& folder)
{
    EXPECT_EQ(doc->SaveUnique(folder), S_OK);
    QString name;
    doc->get_FileName(&name);
    return name;
}

} // namespace

TEST(SaveUnique, ADocumentWithoutEventCreatesNothing)
{
    QTemporaryDir dir;
    auto doc = CKavroDocument::create();
    doc->put_ShooterName(QStringLiteral("Anna"));
    // No event: nothing to store, so nothing is created.
    EXPECT_EQ(doc->SaveUnique(dir.path()), E_UNEXPECTED);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(doc->SaveUnique(QString()), E_INVALIDARG);
    QString name;
    doc->get_FileName(&name);
    EXPECT_TRUE(name.isEmpty());
}

TEST(SaveUnique, InvalidDocumentsAreUntitledAndTakenNamesGetSuffixes)
{
    QTemporaryDir dir;
    // A failed load clears the valid flag; an event put afterwards does not set it again.
    auto doc = CKavroDocument::create();
    doc->put_FileName(dir.filePath(QStringLiteral("bad.raw")));
    writeAll(dir.filePath(QStringLiteral("bad.raw")), QByteArray(3, 'x'));
    EXPECT_EQ(doc->Load(), E_FAIL);
    doc->put_Event(event("AR10").get()); // an event, but the flag stays cleared
    doc->put_ShooterName(QStringLiteral("Anna"));
    const QString folder = dir.path(); // without a trailing separator
    EXPECT_EQ(savedName(doc.get(), folder), folder + QStringLiteral("/Untitled .kavro"));
    EXPECT_EQ(savedName(doc.get(), folder + QLatin1Char('/')), folder + QStringLiteral("/Untitled -1.kavro"));
    EXPECT_EQ(savedName(doc.get(), folder), folder + QStringLiteral("/Untitled -2.kavro"));
}

TEST(SaveUnique, NameFromTheShooterAndTimeFromTheFirstMatchShot)
{
    QTemporaryDir dir;
    auto doc = syntheticPractice();
    doc->put_ShooterName(QStringLiteral("  a::b  "));
    const QString folder = dir.path() + QLatin1Char('/');
    // The first match shot is hidden and still counts; its aiming entered at 09:01:00.
    EXPECT_EQ(savedName(doc.get(), folder), folder + QStringLiteral("a.b  16-07-23 09-01-00.kavro"));

    // A taken name is never replaced.
    const QString taken = folder + QStringLiteral("a.b  16-07-23 09-01-00-1.kavro");
    writeAll(taken, QByteArray("mine"));
    EXPECT_EQ(savedName(doc.get(), folder), folder + QStringLiteral("a.b  16-07-23 09-01-00-2.kavro"));
    EXPECT_EQ(readAll(taken), QByteArray("mine"));

    // Without match shots the first of all shots names the time (the sighting aiming, 09:00:00).
    ASSERT_EQ(doc->ClearShots(), S_OK);
    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());
    ComPtr<IAiming> missed;
    ASSERT_EQ(aimings->AddMissed(VARIANT_FALSE, missed.put()), S_OK);
    ComPtr<IAimingAttr> attr;
    missed->get_Attr(attr.put());
    attr->put_EnterTime(kMatchEnter + 0.5); // 21:01:00
    doc->put_ShooterName(QStringLiteral("Bo"));
    EXPECT_EQ(savedName(doc.get(), folder), folder + QStringLiteral("Bo 16-07-23 21-01-00.kavro"));
}

TEST(SaveUnique, NoShotAtAllTakesTheTimeOfSaving)
{
    QTemporaryDir dir;
    auto doc = CKavroDocument::create();
    doc->put_Event(event("AR10").get());
    const QString name = QFileInfo(savedName(doc.get(), dir.path())).fileName();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Untitled \\d\\d-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.kavro$"))
                    .match(name)
                    .hasMatch())
        << name.toStdString();
}

TEST(SaveUnique, CleaningAShootersName)
{
    EXPECT_EQ(cleanShooterName(QStringLiteral("  a::b  ")), QStringLiteral("a.b "));
    EXPECT_EQ(cleanShooterName(QStringLiteral("x\"*/:<>?\\|y")), QStringLiteral("x.y"));
    EXPECT_EQ(cleanShooterName(QStringLiteral("a. .b")), QStringLiteral("a..b")); // a dot of the name stays
    EXPECT_EQ(cleanShooterName(QStringLiteral("::")), QString());
    EXPECT_EQ(cleanShooterName(QStringLiteral("a\tb\nc")), QStringLiteral("abc"));
    // The narrow code page is UTF-8: names in any script survive.
    EXPECT_EQ(cleanShooterName(QStringLiteral("Ørjan Ølstad 王")), QStringLiteral("Ørjan Ølstad 王"));
    // At most 50 characters are looked at, and a character is never cut in half.
    EXPECT_EQ(cleanShooterName(QString(60, QLatin1Char('n'))), QString(50, QLatin1Char('n')));
    EXPECT_EQ(cleanShooterName(QString(49, QLatin1Char('n')) + QStringLiteral("\U0001F3AF")),
              QString(49, QLatin1Char('n')));
    EXPECT_EQ(cleanShooterName(QString(48, QLatin1Char('n')) + QStringLiteral("\U0001F3AFz")),
              QString(48, QLatin1Char('n')) + QStringLiteral("\U0001F3AF"));
    // An unpaired surrogate cannot be stored in a file name: it comes back as a dot candidate.
    EXPECT_EQ(cleanShooterName(QString(QChar(0xd800)) + QStringLiteral("a")), QStringLiteral("a"));

    QString stamp;
    ASSERT_TRUE(formatTimeStamp(45123.375 + 0.4 / 86400, &stamp));
    EXPECT_EQ(stamp, QStringLiteral("16-07-23 09-00-00"));
    ASSERT_TRUE(formatTimeStamp(2.0 + 0.6 / 86400, &stamp)); // rounded to the second
    EXPECT_EQ(stamp, QStringLiteral("01-01-00 00-00-01"));
    EXPECT_FALSE(formatTimeStamp(3e6, &stamp));
}

TEST(SaveUnique, AnEnterTimeOutsideTheCalendarFallsBackToNow)
{
    QTemporaryDir dir;
    auto doc = CKavroDocument::create();
    doc->put_Event(event("AR10").get());
    ComPtr<IAimingCollection> aimings;
    doc->get_Aimings(aimings.put());
    ComPtr<IAiming> missed;
    aimings->AddMissed(VARIANT_TRUE, missed.put());
    ComPtr<IAimingAttr> attr;
    missed->get_Attr(attr.put());
    attr->put_EnterTime(1e9);
    const QString name = QFileInfo(savedName(doc.get(), dir.path())).fileName();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Untitled \\d\\d-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.kavro$"))
                    .match(name)
                    .hasMatch())
        << name.toStdString();
}
