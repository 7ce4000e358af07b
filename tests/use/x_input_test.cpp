// The input harness itself: real clicks, keys and a screen grab reach an
// ordinary widget the way they reach the system's windows.
#include <gtest/gtest.h>

#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>
#include <QtWidgets/QWidget>

#include "support/gui/x_input.h"

TEST(XInput, ClicksKeysAndPixelsReachARealWindow) {
    if (!kltest::x::available()) GTEST_SKIP() << "no X server with XTest";
    QWidget top;
    auto* layout = new QVBoxLayout(&top);
    auto* edit = new QLineEdit;
    auto* button = new QPushButton(QStringLiteral("Press"));
    layout->addWidget(edit);
    layout->addWidget(button);
    int pressed = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++pressed; });
    top.resize(200, 80);
    ASSERT_TRUE(kltest::x::activate(&top));

    kltest::x::click(edit, edit->rect().center());
    kltest::x::type(QStringLiteral("Ab c!"));
    kltest::x::key(Qt::Key_Home);
    kltest::x::key(Qt::Key_Delete);
    EXPECT_EQ(edit->text(), QStringLiteral("b c!"));
    kltest::x::key(Qt::Key_A, Qt::ControlModifier);
    kltest::x::key(Qt::Key_Backspace);
    EXPECT_TRUE(edit->text().isEmpty());

    kltest::x::click(button, button->rect().center());
    EXPECT_EQ(pressed, 1);

    const QImage shot = kltest::x::grab(&top);
    EXPECT_EQ(shot.size(), top.size());
    kltest::x::save_shot(shot, "x_input");
}
