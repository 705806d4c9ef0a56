// Starts of the trainer one after another, each in a process of its own as the program starts:
// the first with a fresh settings folder, the next with what the first left there. Dates and
// numbers read the same on every start.
#include "support/practice_builder.h"
#include "support/spawn.h"

#include "app_registry.h"
#include "command_line.h"
#include "com/oledate.h"
#include "info_page_model.h"
#include "language_module.h"
#include "main_frame.h"
#include "run_main_frame.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

using namespace kavro;

namespace {

const QStringList kShownIds = {QStringLiteral("idDateTime"), QStringLiteral("idResultFractional"),
                               QStringLiteral("idResultAverage"), QStringLiteral("idAvgSteadinessTitle")};

// One start as the program's entry makes it, with the practice on the command line; it tells on
// stdout what the window title and the information page show.
TEST(ProgramStart, ChildStartsOnceAndTellsWhatItShows)
{
    if (qgetenv("KAVRO_START_CHILD") != "1")
        GTEST_SKIP() << "runs as the child of another test";
    qputenv("KAVRO_CONFIG_HOME", qgetenv("KAVRO_START_SETTINGS"));
    LanguageModule& module = LanguageModule::instance();
    module.setLanguageFolder(QStringLiteral(KAVRO_BIN_DIR "/lang"));
    module.LoadLanguageResources(OpenAppRegistryKey());
    int exitCode = 0;
    std::unique_ptr<CMainFrame> frame
        = CreateMainFrame(ParseCommandLine({QString::fromLocal8Bit(qgetenv("KAVRO_START_PRACTICE"))}), &exitCode);
    ASSERT_TRUE(frame);
    frame->UpdateTitle();
    const info::InfoPageModel page = info::BuildInfoPage(frame->doc(), info::computeColumns(frame->doc()));
    std::printf("shown\ttitle\t%s\n", qPrintable(frame->windowTitle()));
    for (const QString& id : kShownIds)
        std::printf("shown\t%s\t%s\n", qPrintable(id), qPrintable(page.text(id)));
    std::fflush(stdout);
    frame.reset();
    module.SaveLocale(OpenAppRegistryKey());
}

std::map<QString, QString> startOnce(const QString& settings, const QString& practice, const QString& live)
{
    cattest::Spawned child = cattest::spawnProcess(
        QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=ProgramStart.ChildStartsOnce*")},
        {QStringLiteral("KAVRO_START_CHILD=1"), QStringLiteral("KAVRO_START_SETTINGS=") + settings,
         QStringLiteral("KAVRO_START_PRACTICE=") + practice, QStringLiteral("KAVRO_LIVE_SOCKET=") + live,
         QStringLiteral("LANG=C.UTF-8"), QStringLiteral("LC_ALL=C.UTF-8"), QStringLiteral("QT_QPA_PLATFORM=offscreen")},
        true);
    const QByteArray out = cattest::readAllOutput(child.outFd);
    EXPECT_EQ(cattest::waitExit(child.pid, 60000), 0) << out.constData();
    std::map<QString, QString> shown;
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() == 3 && parts[0] == "shown")
            shown[QString::fromUtf8(parts[1])] = QString::fromUtf8(parts[2]);
    }
    return shown;
}

// With the system's locale C (LANG=C.UTF-8) the interface is English, which keeps the user's own
// dates and times; German brings its own. The numbers take the mark the interface's texts use.
TEST(ProgramStart, DatesAndNumbersFollowOneRuleOnEveryStart)
{
    trainertest::TestEnvironment env;
    CKavroDoc doc;
    trainertest::startPractice(doc, "AR10");
    trainertest::addAiming(doc, true, 3, 100);
    const QString practice = env.path() + QStringLiteral("/practice.kavro");
    doc.document()->put_FileName(practice);
    ASSERT_TRUE(doc.Save());
    DateFields f;
    ASSERT_TRUE(dateToFields(info::computeColumns(doc).document->dateTime, &f));
    const QDateTime entered(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second));

    const struct {
        const char* name;
        uint32_t storedLocale; // 0: none, the first start takes the system's
        QLocale dates;
        QChar decimalMark;
    } rows[] = {
        {"system locale C", 0, QLocale::c(), QLatin1Char('.')},
        {"German", 1031, QLocale(QLocale::German, QLocale::Germany), QLatin1Char(',')},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir settings;
        ASSERT_TRUE(settings.isValid());
        if (row.storedLocale) {
            const QByteArray before = qgetenv("KAVRO_CONFIG_HOME");
            qputenv("KAVRO_CONFIG_HOME", QFile::encodeName(settings.path()));
            ASSERT_EQ(OpenAppRegistryKey().writeDword(QStringLiteral("Locale"), row.storedLocale), S_OK);
            qputenv("KAVRO_CONFIG_HOME", before);
        }
        const QString live = settings.filePath(QStringLiteral("live"));
        const std::map<QString, QString> first = startOnce(settings.path(), practice, live);
        const std::map<QString, QString> second = startOnce(settings.path(), practice, live);
        ASSERT_EQ(first.size(), size_t(kShownIds.size() + 1));
        for (const auto& [id, text] : first)
            EXPECT_EQ(second.at(id).toStdString(), text.toStdString()) << id.toStdString();

        const QString date = row.dates.toString(entered, QLocale::ShortFormat);
        EXPECT_EQ(first.at(QStringLiteral("idDateTime")).toStdString(), date.toStdString());
        EXPECT_TRUE(first.at(QStringLiteral("title")).contains(date))
            << first.at(QStringLiteral("title")).toStdString();
        const QChar otherMark = row.decimalMark == QLatin1Char('.') ? QLatin1Char(',') : QLatin1Char('.');
        for (const char* id : {"idResultFractional", "idResultAverage", "idAvgSteadinessTitle"}) {
            const QString text = first.at(QString::fromLatin1(id));
            EXPECT_TRUE(text.contains(row.decimalMark) && !text.contains(otherMark))
                << id << ": " << text.toStdString();
        }
    }
}

} // namespace
