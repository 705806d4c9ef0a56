// Widgets and fonts need an application object for the whole test program; the document module
// reads the bundled events.
#include <QApplication>
#include <gtest/gtest.h>

namespace {

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        qputenv("KAVRO_EVENTS_DIR", KAVRO_BIN_DIR);
        static int argc = 1;
        static char name[] = "test_targetctl";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            app_ = new QApplication(argc, argv);
    }
    void TearDown() override { delete app_; app_ = nullptr; }

private:
    QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

} // namespace
