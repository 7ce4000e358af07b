// libvinca5.so as a host loads it: only the exported buffer functions, with
// the window system's clipboard between the host and the library.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {

constexpr int16_t kInvalidTreeBuffer = 20108;
constexpr int16_t kInvalidArguments = 20113;
constexpr int16_t kClipboardEmpty = 20115;
constexpr int16_t kNotLoaded = 20118;
constexpr int16_t kBadFileFormat = 20301;
constexpr const char* kTreeMime = "application/x-vinca4-tree";

const std::set<std::string> kExports = {
    "VincaIsValidBuffer",
    "VincaFreeBuffer",
    "VincaCopyBuffer",
    "VincaPasteBuffer",
    "VincaSaveBuffer",
    "VincaLoadBuffer",
    "VincaIsClipboardFormatAvailable",
    "DllRegisterServer",
    "DllUnregisterServer",
    "DllGetClassObject",
    "DllCanUnloadNow",
};

// The exports, looked up the way a host looks them up.
struct Library {
    void* handle{nullptr};
    int16_t (*IsValidBuffer)(uint32_t){};
    int16_t (*FreeBuffer)(uint32_t){};
    int16_t (*CopyBuffer)(uint32_t){};
    int16_t (*PasteBuffer)(uint32_t*){};
    int16_t (*SaveBuffer)(uint32_t, int16_t){};
    int16_t (*LoadBuffer)(uint32_t*, int16_t){};
    int16_t (*IsClipboardFormatAvailable)(){};

    template <typename F> void bind(F& fn, const char* name) {
        fn = reinterpret_cast<F>(dlsym(handle, name));
    }
};

// Loaded once per process and never unloaded, as hosts keep it.
const Library& library() {
    static Library lib = [] {
        Library l;
        l.handle = dlopen(KL_VINCA5_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!l.handle) return l;
        l.bind(l.IsValidBuffer, "VincaIsValidBuffer");
        l.bind(l.FreeBuffer, "VincaFreeBuffer");
        l.bind(l.CopyBuffer, "VincaCopyBuffer");
        l.bind(l.PasteBuffer, "VincaPasteBuffer");
        l.bind(l.SaveBuffer, "VincaSaveBuffer");
        l.bind(l.LoadBuffer, "VincaLoadBuffer");
        l.bind(l.IsClipboardFormatAvailable, "VincaIsClipboardFormatAvailable");
        return l;
    }();
    return lib;
}

QByteArray bytes(std::initializer_list<uint8_t> list) {
    return QByteArray(reinterpret_cast<const char*>(std::data(list)), static_cast<qsizetype>(list.size()));
}

// The tree stream of a whole tree with one item "A", worked out by hand.
QByteArray one_item_tree() {
    QByteArray b = bytes({'D', 'U', 2, 0, 0, 0, 16, 0, 5, 0, 19, 0, 'T', 'R', 0, 1, 0, 0, 0, 16, 0, 0, 0});
    b += "__ObsoleteValue";
    b += bytes({0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 'A', 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
    return b;
}

void put_on_clipboard(std::initializer_list<std::pair<QString, QByteArray>> formats) {
    auto* data = new QMimeData;
    for (const auto& [mime, content] : formats)
        data->setData(mime, content);
    QGuiApplication::clipboard()->setMimeData(data);
}

class VincaLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(library().handle, nullptr) << dlerror();
        app = std::make_unique<QGuiApplication>(argc, argv.data());
        QGuiApplication::clipboard()->clear();
    }

    const Library& lib = library();
    int argc = 1;
    std::array<char*, 2> argv{const_cast<char*>("test_vinca_library"), nullptr};
    std::unique_ptr<QGuiApplication> app;
};

} // namespace

TEST_F(VincaLibrary, ExportsTheBufferAndServerFunctionsAndNothingElse) {
    for (const std::string& name : kExports)
        EXPECT_NE(dlsym(lib.handle, name.c_str()), nullptr) << name;

    // Every defined global symbol of the dynamic table, as a linker sees them.
    std::string command = std::string(KL_NM) + " -D --defined-only --format=posix " KL_VINCA5_PATH;
    std::unique_ptr<FILE, int (*)(FILE*)> nm(popen(command.c_str(), "r"), pclose);
    ASSERT_TRUE(nm);
    std::set<std::string> exported;
    char name[512];
    char type = 0;
    while (std::fscanf(nm.get(), "%511s %c %*[^\n]", name, &type) == 2)
        if (type >= 'A' && type <= 'Z') exported.insert(name);
    EXPECT_EQ(exported, kExports);
}

TEST_F(VincaLibrary, BufferTravelsThroughTheClipboardAndBack) {
    const QByteArray tree = one_item_tree();
    put_on_clipboard({{kTreeMime, tree}});
    EXPECT_EQ(lib.IsClipboardFormatAvailable(), 1);

    uint32_t buffer = 0;
    ASSERT_EQ(lib.PasteBuffer(&buffer), 0);
    ASSERT_NE(buffer, 0u);
    EXPECT_EQ(lib.IsValidBuffer(buffer), 1);

    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(lib.IsClipboardFormatAvailable(), 0);
    ASSERT_EQ(lib.CopyBuffer(buffer), 0);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->data(kTreeMime), tree);
    EXPECT_EQ(data->text(), "A\r\n");

    // A second paste is a buffer of its own.
    uint32_t again = 0;
    ASSERT_EQ(lib.PasteBuffer(&again), 0);
    EXPECT_NE(again, buffer);
    lib.FreeBuffer(again);
    EXPECT_EQ(lib.IsValidBuffer(again), 0);
    EXPECT_EQ(lib.IsValidBuffer(buffer), 1);

    // A buffer belongs to the thread that made it.
    std::atomic<int16_t> elsewhere{-1};
    std::thread([&] {
        elsewhere = lib.IsValidBuffer(buffer);
        lib.FreeBuffer(buffer);
    }).join();
    EXPECT_EQ(elsewhere, 0);
    EXPECT_EQ(lib.IsValidBuffer(buffer), 1);

    // Host files come from a control's container; with no control in the
    // process there is no file to write to or read from.
    EXPECT_EQ(lib.SaveBuffer(buffer, 1), kNotLoaded);
    uint32_t loaded = 77;
    EXPECT_EQ(lib.LoadBuffer(&loaded, 1), kNotLoaded);
    EXPECT_EQ(loaded, 0u);

    lib.FreeBuffer(buffer);
    EXPECT_EQ(lib.IsValidBuffer(buffer), 0);
    EXPECT_EQ(lib.CopyBuffer(buffer), kInvalidTreeBuffer);
    EXPECT_EQ(lib.SaveBuffer(buffer, 1), kInvalidTreeBuffer);
    EXPECT_EQ(lib.IsValidBuffer(0), 0);
    EXPECT_EQ(data->data(kTreeMime), tree) << "a failed copy leaves the clipboard alone";
}

TEST_F(VincaLibrary, PasteRefusesWhatIsNotATree) {
    EXPECT_EQ(lib.PasteBuffer(nullptr), kInvalidArguments);

    struct Case {
        const char* what;
        QString mime;
        QByteArray content;
        int16_t error;
    };
    QByteArray truncated = one_item_tree();
    truncated.chop(5);
    const Case cases[] = {
        {"nothing", {}, {}, kClipboardEmpty},
        {"text only", "text/plain", "A\r\n", kClipboardEmpty},
        {"junk under our type", kTreeMime, QByteArray(40, 'x'), kBadFileFormat},
        {"a truncated tree", kTreeMime, truncated, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.mime.isEmpty())
            QGuiApplication::clipboard()->clear();
        else
            put_on_clipboard({{c.mime, c.content}});
        uint32_t buffer = 77;
        int16_t r = lib.PasteBuffer(&buffer);
        if (c.error)
            EXPECT_EQ(r, c.error);
        else
            EXPECT_NE(r, 0);
        EXPECT_EQ(buffer, 0u);
    }
}
