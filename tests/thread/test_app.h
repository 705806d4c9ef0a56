#pragma once
// The one application object of the thread tests: event loops and socket notifiers need it.
#include <QCoreApplication>

inline QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "thread_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}
