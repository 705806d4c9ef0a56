#pragma once
// Points the per-user settings at a fresh temporary folder for each test.
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

class TempSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        setenv("KAVRO_CONFIG_HOME", QFile::encodeName(m_dir.path()).constData(), 1);
    }
    void TearDown() override { unsetenv("KAVRO_CONFIG_HOME"); }

    QString userFile() const { return m_dir.path() + QStringLiteral("/user.reg"); }
    QString tempPath() const { return m_dir.path(); }

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

private:
    QTemporaryDir m_dir;
};
