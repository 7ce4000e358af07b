// The demo of two tree-list controls, run as its own process after the
// library is registered: what it shows offscreen and what a real X display
// shows must both have the selection band and the tree lines where the
// rows put them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include <QtGui/QImage>

#include "support/servers.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The child runs in the test's machine root; leaks of the window system's
// libraries are none of its business.
std::string Env() {
    return "env ASAN_OPTIONS=detect_leaks=0 KL_MACHINE_ROOT=" + Quote(kltest::machine_root().string()) + " ";
}

bool Register() {
    return Shell(Env() + Quote(KL_REGSVR) + " /s " + Quote(KL_VINCA5_PATH)) == 0;
}

fs::path Screenshots() {
    fs::path dir = fs::path(KL_TEST_BINARY_DIR) / "screenshots" / "tools";
    fs::create_directories(dir);
    return dir;
}

// What the picture shows of the left control (the window's left half).
struct Found {
    int bandTop{-1}, bandBottom{-1}; // the selected row's coloured band
    int lineX{-1};                   // the column of the longest vertical grey line
};

bool Coloured(QRgb c) {
    const int hi = std::max({qRed(c), qGreen(c), qBlue(c)}), lo = std::min({qRed(c), qGreen(c), qBlue(c)});
    return hi - lo > 60;
}
bool Grey(QRgb c) {
    return std::abs(qRed(c) - 128) < 24 && std::abs(qGreen(c) - 128) < 24 && std::abs(qBlue(c) - 128) < 24;
}

Found Look(const QImage& img) {
    Found f;
    const int right = img.width() / 2;
    for (int y = 0; y < img.height(); ++y) {
        int run = 0, best = 0;
        for (int x = 0; x < right; ++x) {
            run = Coloured(img.pixel(x, y)) ? run + 1 : 0;
            best = std::max(best, run);
        }
        if (best >= 30) {
            if (f.bandTop < 0) f.bandTop = y;
            f.bandBottom = y;
        }
    }
    int bestCount = 0;
    for (int x = 0; x < right; ++x) {
        int count = 0;
        for (int y = 0; y < img.height(); ++y)
            count += Grey(img.pixel(x, y));
        if (count > bestCount) bestCount = count, f.lineX = x;
    }
    if (bestCount < 15) f.lineX = -1;
    return f;
}

Found Shot(const std::string& how, const fs::path& png, std::string* err) {
    const fs::path log = png.string() + ".log";
    const int status =
        Shell(how + Quote(KL_DEMO) + " --screenshot " + Quote(png.string()) + " 2>" + Quote(log.string()));
    *err = kltest::read_file(log);
    QImage img(QString::fromStdString(png.string()));
    EXPECT_EQ(status, 0) << *err;
    EXPECT_FALSE(img.isNull()) << *err;
    return img.isNull() ? Found{} : Look(img.convertToFormat(QImage::Format_RGB32));
}

TEST(DemoProgram, RefusesToRunUnregistered) {
    EXPECT_EQ(
        Shell(Env() + "QT_QPA_PLATFORM=offscreen " + Quote(KL_DEMO) + " --screenshot /dev/null 2>/dev/null"),
        1);
}

TEST(DemoProgram, ShowsSelectionAndTreeLinesOffscreenAndOnAnXDisplay) {
    ASSERT_TRUE(Register());
    std::string err;
    const Found off =
        Shot(Env() + "QT_QPA_PLATFORM=offscreen ", Screenshots() / "klvincademo_offscreen.png", &err);
    // "To the school" is the fourth row: its band lies below three rows of
    // at least 12 pixels each and is one row high.
    ASSERT_GE(off.bandTop, 0) << err;
    EXPECT_GE(off.bandTop, 8 + 3 * 12);
    EXPECT_LE(off.bandTop, 8 + 3 * 26);
    EXPECT_GE(off.bandBottom - off.bandTop + 1, 12);
    EXPECT_LE(off.bandBottom - off.bandTop + 1, 26);
    // The vertical tree line hangs left of the text, inside the control.
    ASSERT_GE(off.lineX, 8) << err;
    EXPECT_LT(off.lineX, 8 + 60);

    if (!kltest::have_program("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
    const Found x = Shot("xvfb-run -a -s '-screen 0 800x600x24' " + Env() + "QT_QPA_PLATFORM=xcb ",
                         Screenshots() / "klvincademo_xcb.png", &err);
    // The screen shows what the control drew offscreen.
    EXPECT_NEAR(x.bandTop, off.bandTop, 1) << err;
    EXPECT_NEAR(x.bandBottom, off.bandBottom, 1) << err;
    EXPECT_NEAR(x.lineX, off.lineX, 1) << err;
}

TEST(DemoProgram, WritesAPdfPage) {
    ASSERT_TRUE(Register());
    kltest::TempDir dir;
    const fs::path pdf = dir / "demo.pdf";
    ASSERT_EQ(Shell(Env() + "QT_QPA_PLATFORM=offscreen " + Quote(KL_DEMO) + " --pdf " + Quote(pdf.string())),
              0);
    const std::string bytes = kltest::read_file(pdf);
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    if (!kltest::have_program("pdftoppm")) GTEST_SKIP() << "pdftoppm is not installed";
    // The page shows the window: its selection band among the rows.
    ASSERT_EQ(Shell("pdftoppm -r 96 -png -singlefile " + Quote(pdf.string()) + " " +
                    Quote((dir / "page").string())),
              0);
    QImage page(QString::fromStdString((dir / "page.png").string()));
    ASSERT_FALSE(page.isNull());
    const Found f = Look(page.convertToFormat(QImage::Format_RGB32));
    EXPECT_GE(f.bandTop, 0);
    EXPECT_GE(f.lineX, 0);
}

} // namespace
