#pragma once
// The application that window-half tests run in: offscreen, DejaVu Sans, the
// Fusion style and a fixed palette, so text widths and colours are the same
// on every machine. A test file installs it once at start-up:
//     static const bool kGui = kltest::InstallOffscreenGui();
// Screenshots go under the build folder, where a person can open them.
#include <QtCore/QDir>
#include <QtGui/QFont>
#include <QtGui/QImage>
#include <QtGui/QPalette>
#include <QtWidgets/QApplication>
#include <QtWidgets/QStyleFactory>
#include <gtest/gtest.h>
#include <string>

namespace kltest {

class OffscreenGui : public testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "kl-test";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!QApplication::instance()) m_app = new QApplication(argc, argv);
        QApplication::setStyle(QStyleFactory::create("Fusion"));
        QApplication::setPalette(FixedPalette());
        QFont font("DejaVu Sans");
        font.setPixelSize(12);
        QApplication::setFont(font);
    }
    // The application stays until the process ends: Qt's global objects
    // (fonts, styles) are torn down with it then, in their own order.

    static QPalette FixedPalette() {
        QPalette p;
        p.setColor(QPalette::Window, QColor(0xEF, 0xEF, 0xEF));
        p.setColor(QPalette::WindowText, Qt::black);
        p.setColor(QPalette::Base, Qt::white);
        p.setColor(QPalette::AlternateBase, QColor(0xF7, 0xF7, 0xF7));
        p.setColor(QPalette::Text, Qt::black);
        p.setColor(QPalette::Button, QColor(0xC0, 0xC0, 0xC0));
        p.setColor(QPalette::ButtonText, Qt::black);
        p.setColor(QPalette::Light, Qt::white);
        p.setColor(QPalette::Midlight, QColor(0xDF, 0xDF, 0xDF));
        p.setColor(QPalette::Dark, QColor(0x80, 0x80, 0x80));
        p.setColor(QPalette::Mid, QColor(0xA0, 0xA0, 0xA0));
        p.setColor(QPalette::Shadow, QColor(0x40, 0x40, 0x40));
        p.setColor(QPalette::Highlight, QColor(0x00, 0x00, 0x80));
        p.setColor(QPalette::HighlightedText, Qt::white);
        p.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
        p.setColor(QPalette::ToolTipText, Qt::black);
        p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
        return p;
    }

  private:
    inline static QApplication* m_app{nullptr};
};

inline bool InstallOffscreenGui() {
    testing::AddGlobalTestEnvironment(new OffscreenGui);
    return true;
}

// Saves a screenshot as build/<test build>/test-artifacts/<area>/<name>.png.
inline std::string SaveArtifact(const QImage& image, const std::string& area, const std::string& name) {
    QString dir = QString::fromStdString(std::string(KL_TEST_BINARY_DIR) + "/test-artifacts/" + area);
    QDir().mkpath(dir);
    QString path = dir + "/" + QString::fromStdString(name) + ".png";
    image.save(path);
    return path.toStdString();
}

} // namespace kltest
