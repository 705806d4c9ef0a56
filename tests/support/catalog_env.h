#pragma once
// A private runtime folder and cache folder for each catalog test, so tests never meet the
// user's own catalog service or each other.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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

private:
    QTemporaryDir root_;
};

} // namespace cattest
