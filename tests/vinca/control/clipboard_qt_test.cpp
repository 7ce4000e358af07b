// Trees on the window system's clipboard: what other programs see, what
// comes back, and what the clipboard refuses.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <thread>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>

#include "vinca/control/clipboard_qt.h"
#include "vinca/model/buffer.h"
#include "vinca/model/engine.h"
#include "vinca/model/search.h"

using namespace vinca;

namespace {

const QString kTreeMime = QString::fromUtf8(kTreeClipboardMime.data(), kTreeClipboardMime.size());

std::string tree_text(CVincaEngine& e) {
    std::string lines;
    WriteNodeText(e.RootNode(), lines);
    return lines;
}

// Two levels and text beyond ASCII, which the plain-text form must carry
// unchanged to other programs.
void fill(CVincaEngine& e) {
    CItem* parent = nullptr;
    ASSERT_EQ(e.AddItem("Größe", &parent), VE_OK);
    for (const char* text : {"A1", "A2"}) {
        int32_t at = -1;
        parent->GetChildNode()->AddNewChild(at, text, 0);
    }
    ASSERT_EQ(e.AddItem("B"), VE_OK);
}

void put_on_clipboard(const QString& mime, const QByteArray& content) {
    auto* data = new QMimeData;
    data->setData(mime, content);
    QGuiApplication::clipboard()->setMimeData(data);
}

class QtClipboard : public ::testing::Test {
  protected:
    void SetUp() override {
        app = std::make_unique<QGuiApplication>(argc, argv.data());
        QGuiApplication::clipboard()->clear();
        InstallQtClipboard();
    }
    void TearDown() override {
        RemoveQtClipboard();
        app.reset();
    }

    int argc = 1;
    std::array<char*, 2> argv{const_cast<char*>("test_vinca_clipboard_qt"), nullptr};
    std::unique_ptr<QGuiApplication> app;
};

} // namespace

TEST_F(QtClipboard, CopiedTreeIsOnTheSystemClipboardAndPastesBackEqual) {
    CVincaEngine source;
    fill(source);
    put_on_clipboard("text/html", "<b>another program's</b>");
    // A listener that asks at once, as a paste command enabling itself does.
    int treeSeen = 0;
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged,
                     [&] { treeSeen += IsTreeOnClipboard(); });

    ASSERT_EQ(ClipboardAction(source, -1, 0), VE_OK);
    EXPECT_EQ(treeSeen, 1);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat(kTreeMime));
    EXPECT_FALSE(data->hasFormat("text/html")) << "a copy replaces what was there";
    EXPECT_EQ(data->text().toStdString(), tree_text(source));
    EXPECT_EQ(data->text().left(6), QString::fromUtf8("Größe\r"));
    EXPECT_TRUE(IsTreeOnClipboard());

    CVincaEngine target;
    ASSERT_EQ(ClipboardAction(target, -1, 3), VE_OK);
    EXPECT_EQ(tree_text(target), tree_text(source));
    // Pasting reads; the tree stays on the clipboard.
    ASSERT_EQ(ClipboardAction(target, -1, 3), VE_OK);
    EXPECT_EQ(tree_text(target), tree_text(source) + tree_text(source));

    // One item alone: pasting adds that one item.
    ASSERT_EQ(ClipboardAction(source, 0, 1), VE_OK);
    CVincaEngine single;
    ASSERT_EQ(ClipboardAction(single, -1, 3), VE_OK);
    EXPECT_EQ(tree_text(single), "Größe\r\n");
}

TEST_F(QtClipboard, ForeignContentIsRefusedAndChangesNothing) {
    CVincaEngine target;
    fill(target);
    const std::string before = tree_text(target);

    struct Case {
        const char* what;
        QString mime;
        QByteArray content;
        VResult error;
    };
    const Case cases[] = {
        {"empty clipboard", {}, {}, VE_CLIPBOARD_EMPTY},
        {"text only", "text/plain", "A\r\n", VE_CLIPBOARD_EMPTY},
        {"an image", "image/png", QByteArray(16, '\x89'), VE_CLIPBOARD_EMPTY},
        {"junk under our type", kTreeMime, QByteArray(40, 'x'), VE_BAD_FILE_FORMAT},
        {"nothing under our type", kTreeMime, QByteArray(), VE_FILE_INPUT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.mime.isEmpty())
            QGuiApplication::clipboard()->clear();
        else
            put_on_clipboard(c.mime, c.content);
        EXPECT_EQ(IsTreeOnClipboard(), c.mime == kTreeMime);
        EXPECT_EQ(ClipboardAction(target, -1, 3), c.error);
        EXPECT_EQ(tree_text(target), before);
        BufferHandle buffer = 77;
        EXPECT_EQ(PasteBufferFromClipboard(&buffer), c.error);
        EXPECT_EQ(buffer, 0u);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        if (!c.mime.isEmpty()) {
            EXPECT_EQ(data->data(c.mime), c.content) << "the clipboard is left as it was";
        }
    }
}

TEST_F(QtClipboard, OnlyTheGuiThreadReachesIt) {
    CVincaEngine source;
    fill(source);
    ASSERT_EQ(ClipboardAction(source, -1, 0), VE_OK);
    const QByteArray tree = QGuiApplication::clipboard()->mimeData()->data(kTreeMime);

    std::atomic<bool> seen{true};
    std::atomic<VResult> copied{VE_OK};
    std::atomic<VResult> pasted{VE_OK};
    std::thread([&] {
        CVincaEngine other;
        fill(other);
        seen = IsTreeOnClipboard();
        copied = ClipboardAction(other, 0, 1);
        pasted = ClipboardAction(other, -1, 3);
    }).join();
    EXPECT_FALSE(seen);
    EXPECT_EQ(copied, VE_OUT_OF_MEMORY);
    EXPECT_EQ(pasted, VE_CLIPBOARD_EMPTY);
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(kTreeMime), tree);
}

TEST(QtClipboardWithoutApplication, KeepsTheFormatsInMemory) {
    if (QCoreApplication::instance()) GTEST_SKIP() << "an application exists in this process";
    InstallQtClipboard();
    CVincaEngine source;
    fill(source);
    EXPECT_FALSE(IsTreeOnClipboard());
    ASSERT_EQ(ClipboardAction(source, -1, 0), VE_OK);
    EXPECT_TRUE(IsTreeOnClipboard());
    CVincaEngine target;
    ASSERT_EQ(ClipboardAction(target, -1, 3), VE_OK);
    EXPECT_EQ(tree_text(target), tree_text(source));
    RemoveQtClipboard();
}
