// Views need a widget application, the bundled events and settings of their own for the whole
// test program.
#include "practice_builder.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

class ViewsEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_env = std::make_unique<trainertest::TestEnvironment>();
        static int argc = 1;
        static char name[] = "test_trainer_views";
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
    std::unique_ptr<trainertest::TestEnvironment> m_env;
    QApplication* m_app = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ViewsEnvironment);

} // namespace
