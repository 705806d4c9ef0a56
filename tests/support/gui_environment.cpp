// Widgets, fonts and painting need an application object for the whole test program. Settings go
// to a fresh folder, and the document module reads the bundled events.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        setenv("KAVRO_CONFIG_HOME", QFile::encodeName(dir_.path()).constData(), 1);
        qputenv("KAVRO_EVENTS_DIR", KAVRO_BIN_DIR);
        static int argc = 1;
        static char name[] = "kavro_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            app_ = new QApplication(argc, argv);
    }
    void TearDown() override
    {
        delete app_;
        app_ = nullptr;
    }

private:
    QTemporaryDir dir_;
    QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

} // namespace
