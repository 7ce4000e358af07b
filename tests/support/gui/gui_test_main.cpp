// Main of the test programs that show windows: offscreen, the Fusion style
// with its own palette and DejaVu Sans, so every machine draws the same
// pixels; a fresh emulated machine per test, as in every test program.
#include <QApplication>
#include <QFont>
#include <QStyle>
#include <QStyleFactory>
#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

#include "support/temp_dir.h"

namespace {

class FreshMachine : public testing::EmptyTestEventListener {
  public:
    void OnTestStart(const testing::TestInfo&) override {
        m_root = std::make_unique<kltest::TempDir>();
        setenv("KL_MACHINE_ROOT", m_root->str().c_str(), 1);
    }
    void OnTestEnd(const testing::TestInfo&) override {
        unsetenv("KL_MACHINE_ROOT");
        m_root.reset();
    }

  private:
    std::unique_ptr<kltest::TempDir> m_root;
};

} // namespace

int main(int argc, char** argv) {
    setenv("LC_ALL", "C.UTF-8", 1);
    setenv("TZ", "UTC", 1);
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::setlocale(LC_ALL, "C.UTF-8");
    QApplication app(argc, argv);
    // Tests open and close many windows in one process.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    QFont font(QStringLiteral("DejaVu Sans"), 9);
    QApplication::setFont(font);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshMachine);
    return RUN_ALL_TESTS();
}
