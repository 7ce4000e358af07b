#pragma once
// The main form with a designer whose only doubles are the prompt and the
// stand-in action list and bridge.
#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

#include "KLDesigner/ui/main_form.h"
#include "support/list_tree.h"
#include "support/scripted_prompt.h"
#include "support/stand_in_bridge.h"
#include "support/temp_dir.h"

namespace kldtest {

struct UiRig {
    kltest::ScriptedPrompt prompt;
    ListTree tree;
    StandInBridge bridge{tree};
    kld::ui::MainForm main;
    kld::Designer d{kld::DesignerServices{main, prompt, tree, bridge}};
    kltest::TempDir dir;

    UiRig() { main.Attach(d); }
    // Leaving the program makes its folder current; the test's goes away.
    ~UiRig() { QDir::setCurrent(m_cwd); }

    // The next message, answered.
    void Expect(const std::string& text, plat::ui::MsgAnswer answer) {
        kltest::ExpectedPrompt e;
        e.kind = kltest::PromptKind::Message;
        e.match = text;
        e.answer = answer;
        prompt.expect(std::move(e));
    }

  private:
    QString m_cwd = QDir::currentPath();
};

// Saves a window's picture under the build folder and checks that it shows
// more than one colour.
inline void Screenshot(QWidget* window, const QString& name) {
    QDir().mkpath(QStringLiteral(KL_SCREENSHOT_DIR));
    const QImage image = window->grab().toImage();
    ASSERT_FALSE(image.isNull());
    const QRgb first = image.pixel(0, 0);
    bool varied = false;
    for (int y = 0; y < image.height() && !varied; y += 3)
        for (int x = 0; x < image.width() && !varied; x += 3)
            varied = image.pixel(x, y) != first;
    EXPECT_TRUE(varied) << name.toStdString() << " is blank";
    EXPECT_TRUE(image.save(QStringLiteral(KL_SCREENSHOT_DIR "/") + name + QStringLiteral(".png")));
}

} // namespace kldtest
