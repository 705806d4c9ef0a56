#pragma once
// A private runtime folder and cache folder for each catalog test, so tests never meet the
// user's own catalog service or each other.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace cattest {

class CatalogEnvTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root_.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root_.path() + QStringLiteral("/run")));
        qputenv("KAVRO_CACHE_DIR", QFile::encodeName(root_.path() + QStringLiteral("/cache")));
        QDir().mkpath(root_.path() + QStringLiteral("/run"));
        QFile::setPermissions(root_.path() + QStringLiteral("/run"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QDir().mkpath(root_.path() + QStringLiteral("/catalog"));
        QDir().mkpath(root_.path() + QStringLiteral("/cache"));
    }

    QString rootPath() const { return root_.path(); }
    QString runPath() const { return root_.path() + QStringLiteral("/run"); }
    QString cacheDir() const { return root_.path() + QStringLiteral("/cache"); }
    QString cachePath() const { return cacheDir() + QStringLiteral("/kavrocls.tmp"); }
    // The catalog folder, ending in '/'.
    QString catalogPath() const { return root_.path() + QStringLiteral("/catalog/"); }
    // A user's home and the catalog folder a program finds in it (ending in '/'); made on request.
    QString homePath() const { return root_.path() + QStringLiteral("/home"); }
    QString homeCatalogPath() const { return homePath() + QStringLiteral("/Kavro catalog/"); }

    // Runs the event loop until `done` holds, for at most `limitMs`: notices cross sockets and
    // timers settle them.
    template <class Done> static bool waitUntil(Done done, int limitMs = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > limitMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        return true;
    }

private:
    QTemporaryDir root_;
};

} // namespace cattest
