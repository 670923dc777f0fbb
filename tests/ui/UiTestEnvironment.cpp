#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

// One QApplication for every ui test, on the offscreen platform: no display is needed.
class QtEnvironment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[9] = "ui_tests";
    char* m_argv[2] = { m_name, nullptr };
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment
    = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
