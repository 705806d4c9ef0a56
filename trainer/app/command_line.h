#pragma once
// The program's command line: switches begin with "-", or with "/" when the name is one of the
// known switches (a POSIX path begins with "/" too); names compare without regard to case.
#include <QString>
#include <QStringList>

struct CommandLine {
    enum Action { Nothing = -1, NewPractice = 0, OpenFile = 1, Register = 5, Unregister = 6 };

    int action = OpenFile;
    QString fileName;
    QString practiceHint1, practiceHint2; // handed to the start-practice dialog
    bool automation = false;
};

// `args` are the arguments after the program name.
CommandLine ParseCommandLine(const QStringList& args);
