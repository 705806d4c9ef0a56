#pragma once
// Registration with the desktop: a freedesktop desktop entry for the program, the MIME type of
// practice files (*.kavro) and their icons, all per user under $XDG_DATA_HOME.
#include <QString>

struct DesktopRegistrationResult {
    bool ok = true;
    QString error; // what failed, for the user
};

// The data folder used: $XDG_DATA_HOME, else ~/.local/share.
QString desktopDataHome();

// Installs (or refreshes) the entry, MIME type and icons for the program at `programPath`.
// Running it again changes nothing but the files' contents.
DesktopRegistrationResult RegisterWithDesktop(const QString& programPath);
// Removes what RegisterWithDesktop installed; nothing there is no error.
DesktopRegistrationResult UnregisterFromDesktop();

// The files RegisterWithDesktop writes, relative to desktopDataHome().
QStringList desktopRegistrationFiles();

// The Exec line's quoting of one argument (desktop entry rules).
QString quoteDesktopExecArgument(const QString& arg);

// Registers the program's built-in resources (icons); safe to call more than once.
void ensureProgramResources();
