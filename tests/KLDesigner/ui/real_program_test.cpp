// The real program on a real X server: started with no description, its
// window is grabbed from the screen. Runs only on the xcb platform.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QThread>

#include "platform/com/loader.h"
#include "ui_rig.h"

TEST(RealProgram, StartsAndShowsItsWindow) {
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) GTEST_SKIP() << "needs an X server";
    ASSERT_EQ(plat::call_library_registration(KLD_VINCA5_PATH, false), plat::S_OK);
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(KLD_PROGRAM_PATH), {});
    ASSERT_TRUE(program.waitForStarted(10000));

    // Wait until something other than the bare screen shows.
    QImage shot;
    double covered = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000 && covered < 0.2) {
        QThread::msleep(250);
        QCoreApplication::processEvents();
        shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        int64_t lit = 0;
        for (int y = 0; y < shot.height(); y += 4)
            for (int x = 0; x < shot.width(); x += 4)
                lit += qGray(shot.pixel(x, y)) > 32;
        covered = static_cast<double>(lit) / ((shot.width() / 4 + 1) * (shot.height() / 4 + 1));
    }
    EXPECT_EQ(program.state(), QProcess::Running);
    EXPECT_GE(covered, 0.2) << "no window on the screen";
    QDir().mkpath(QStringLiteral(KL_SCREENSHOT_DIR));
    EXPECT_TRUE(shot.save(QStringLiteral(KL_SCREENSHOT_DIR "/real-program.png")));
    program.kill();
    program.waitForFinished(10000);
}
