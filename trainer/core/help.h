#pragma once
// The help pages of the interface language, opened in the desktop's browser. Each page is one
// area of the program; every command has an anchor whose id is the command id, so a menu request
// opens the right place. Missing help does nothing.
#include <QUrl>

#include <cstdint>

class QCoreApplication;
class QKeyEvent;

namespace kavro {

// The contents page of the current language's help; empty when it is not installed.
QUrl helpContentsUrl();
// The place that explains a command; the contents page when no page has the command's anchor.
QUrl helpUrlForCommand(uint32_t commandId);

// Open the help in the browser; false (and nothing shown) when there is no help to open.
bool ShowHelpContents();
bool ShowHelpForCommand(uint32_t commandId);

// A help request from the keyboard: the first press of F1 without Shift, Ctrl or Alt.
bool isHelpKey(const QKeyEvent& key);
// Plain F1 in any dialog of the program opens the help contents, as it does in the main window
// (whose own command serves it there).
void InstallDialogHelpKey(QCoreApplication* app);

} // namespace kavro
