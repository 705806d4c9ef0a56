// kavropro: the trainer program.
#include "app_registry.h"
#include "command_line.h"
#include "help.h"
#include "language_module.h"
#include "run_main_frame.h"

#include "thread/end_signals.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    kavro::ignoreFileSizeSignal();
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    CommandLine cl = ParseCommandLine(args);

    if (cl.action == CommandLine::Register || cl.action == CommandLine::Unregister) {
        // No window: registration must work without a display.
        QCoreApplication app(argc, argv);
        kavro::LanguageModule::instance().LoadLanguageResources(kavro::OpenAppRegistryKey());
        return RunRegistration(cl, QCoreApplication::applicationFilePath());
    }
    if (cl.automation) {
        std::fprintf(stderr,
                     "kavropro: serving objects to other programs (Automation, Embedding) "
                     "is not available on this system.\n");
        return 0;
    }

    QApplication app(argc, argv);
    // Qt takes its own options (-platform, -style, -reverse...) and their values out of the
    // arguments; read again, a value such as "fusion" is not taken for the file to open.
    cl = ParseCommandLine(QApplication::arguments().mid(1));
    QApplication::setApplicationName(QStringLiteral("kavropro"));
    kavro::LanguageModule::instance().LoadLanguageResources(kavro::OpenAppRegistryKey());
    kavro::InstallDialogHelpKey(&app);
    const int exitCode = RunMainFrame(cl);
    kavro::LanguageModule::instance().SaveLocale(kavro::OpenAppRegistryKey());
    return exitCode;
}
