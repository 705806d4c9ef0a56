// Views need a widget application for the whole test program, and settings of their own.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class WidgetsEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        qputenv("KAVRO_CONFIG_HOME", m_dir.path().toUtf8());
        qputenv("KAVRO_SYSTEM_CONFIG", (m_dir.path() + QStringLiteral("/machine")).toUtf8());
        static int argc = 1;
        static char name[] = "test_chart_views";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            m_app = new QApplication(argc, argv);
    }
    void TearDown() override
    {
        delete m_app;
        m_app = nullptr;
    }

private:
    QTemporaryDir m_dir;
    QApplication* m_app = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new WidgetsEnvironment);

} // namespace
