#pragma once
// Points both settings roots at fresh temporary folders for each test.
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        userFolder = dir_.path() + QStringLiteral("/user");
        machineFolder = dir_.path() + QStringLiteral("/machine");
        setenv("KAVRO_CONFIG_HOME", QFile::encodeName(userFolder).constData(), 1);
        setenv("KAVRO_SYSTEM_CONFIG", QFile::encodeName(machineFolder).constData(), 1);
    }
    void TearDown() override
    {
        unsetenv("KAVRO_CONFIG_HOME");
        unsetenv("KAVRO_SYSTEM_CONFIG");
    }

    QString tempPath() const { return dir_.path(); }
    QString userFile() const { return userFolder + QStringLiteral("/user.reg"); }
    QString machineFile() const { return machineFolder + QStringLiteral("/machine.reg"); }

    static QByteArray readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeAll(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    // Moves the per-user root to a copy of its file, so the next reads parse the text afresh.
    void moveUserRootToCopy()
    {
        const QString copy = tempPath() + QStringLiteral("/copy%1").arg(++copies_);
        writeAll(copy + QStringLiteral("/user.reg"), readAll(userFile()));
        userFolder = copy;
        setenv("KAVRO_CONFIG_HOME", QFile::encodeName(userFolder).constData(), 1);
    }

    QString userFolder;
    QString machineFolder;

private:
    QTemporaryDir dir_;
    int copies_ = 0;
};

inline constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
