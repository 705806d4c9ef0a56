#pragma once
// Turns the event loop until a condition holds or a time limit passes (real-time tests).
#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

inline bool pumpUntil(const std::function<bool()>& done, int limitMs = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}
