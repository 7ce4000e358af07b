// Files and pictures as a container meets them through IDispatch on the
// registered control: data files of the wrong kind are refused from their
// first bytes, declared lengths are believed only as far as the data goes,
// and every picture object answers the picture members.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <QtGui/QImage>

#include "platform/com/persist.h"
#include "platform/com/stream.h"
#include "support/gui/x_input.h"
#include "support/metafiles.h"
#include "support/temp_dir.h"
#include "vinca/control/hosted_control.h"

namespace {

constexpr plat::CLSID kControl = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");

// The process's peak resident size in MB: it only grows, so a rise across
// a call is what that call took at most.
long PeakMegabytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ClassIdBytes(const plat::CLSID& id) {
    return std::string(reinterpret_cast<const char*>(&id), sizeof id);
}

// One entry of the saved property set that declares `length` bytes of text
// and then ends.
std::string TextEntryDeclaring(uint32_t length) {
    std::string s;
    const uint16_t name_len = 7;
    s.append(reinterpret_cast<const char*>(&name_len), 2);
    s += "Caption";
    const uint16_t vt = plat::VT_BSTR;
    s.append(reinterpret_cast<const char*>(&vt), 2);
    s.append(reinterpret_cast<const char*>(&length), 4);
    s += "abc";
    return s;
}

class ControlFiles : public kltest::HostedControl {
  protected:
    plat::Variant member(const plat::Variant& obj, std::string_view name) {
        plat::Variant v;
        plat::CallError e;
        EXPECT_EQ(obj.vt, plat::VT_DISPATCH);
        EXPECT_EQ(plat::dispatch_get(obj.pdispVal, name, v, {}, &e), plat::S_OK) << name << ": " << e.number;
        return v;
    }
    std::string picture_file(const char* name, int w, int h, const char* format) {
        const auto path = dir.path() / name;
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        EXPECT_TRUE(img.save(QString::fromStdString(path.string()), format));
        return path.string();
    }
    kltest::TempDir dir;
};

TEST_F(ControlFiles, LoadDataRefusesOtherFilesFromTheirFirstBytes) {
    // Half a gigabyte without the class id, and a device that never ends.
    const auto big = dir.path() / "big.dat";
    {
        const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 512ll << 20), 0);
        ::close(fd);
    }
    const long before = PeakMegabytes();
    for (const std::string path : {big.string(), std::string("/dev/zero")}) {
        EXPECT_EQ(call("LoadData", {plat::Variant(std::string_view(path))}).to_i4(), 4) << path;
    }
    EXPECT_LT(PeakMegabytes() - before, 64);

    // A file that is gone, and one that is too short for the class id.
    EXPECT_EQ(call("LoadData", {plat::Variant(std::string_view((dir.path() / "none").string()))}).to_i4(), 1);
    WriteBytes(dir.path() / "short.dat", ClassIdBytes(kControl).substr(0, 15));
    EXPECT_EQ(call("LoadData", {plat::Variant(std::string_view((dir.path() / "short.dat").string()))}).to_i4(),
              4);
}

TEST_F(ControlFiles, DeclaredLengthsBeyondTheDataAreRefusedWithoutReservingThem) {
    put("Caption", plat::Variant(std::string_view("kept")));
    const auto path = dir.path() / "lying.dat";
    WriteBytes(path, ClassIdBytes(kControl) + TextEntryDeclaring(63u << 20));
    const long before = PeakMegabytes();
    EXPECT_EQ(call("LoadData", {plat::Variant(std::string_view(path.string()))}).to_i4(), 1);

    // The same set from a container's stream.
    plat::ComPtr<plat::IPersistStreamInit> persist;
    ASSERT_EQ(ctl.query(plat::IPersistStreamInit::kIID, persist), plat::S_OK);
    std::string entry = TextEntryDeclaring(63u << 20);
    auto stream = plat::create_memory_stream(std::vector<uint8_t>(entry.begin(), entry.end()));
    EXPECT_TRUE(plat::FAILED(persist->Load(stream.get())));
    EXPECT_LT(PeakMegabytes() - before, 32);
    EXPECT_EQ(get("Caption").to_utf8(), "kept");

    // A whole file of the control still loads, its tree and settings with it.
    call("AddItem", {plat::Variant(std::string_view("one"))});
    call("AddItem", {plat::Variant(std::string_view("two"))});
    const std::string good = (dir.path() / "good.dat").string();
    ASSERT_EQ(call("SaveData", {plat::Variant(std::string_view(good))}).to_i4(), 0);
    call("Clear");
    put("Caption", plat::Variant(std::string_view("changed")));
    ASSERT_EQ(call("LoadData", {plat::Variant(std::string_view(good))}).to_i4(), 0);
    EXPECT_EQ(get("ListCount").to_i4(), 2);
    EXPECT_EQ(get("Caption").to_utf8(), "kept");
}

TEST_F(ControlFiles, EveryPictureAnswersThePictureMembers) {
    struct Case {
        const char* file;
        int w, h;
        const char* format;
        int16_t type;
    } cases[] = {{"a.bmp", 30, 20, "BMP", 1}, {"b.png", 48, 12, "PNG", 1}, {"c.ico", 32, 32, "ICO", 3}};
    int32_t handles[3] = {};
    int n = 0;
    for (const Case& k : cases) {
        const std::string path = picture_file(k.file, k.w, k.h, k.format);
        plat::Variant pic = call("LoadPicture", {plat::Variant(std::string_view(path))});
        ASSERT_EQ(pic.vt, plat::VT_DISPATCH) << k.file;
        EXPECT_EQ(member(pic, "Type").to_i4(), k.type) << k.file;
        EXPECT_EQ(member(pic, "Width").to_i4(), plat::pixels_to_himetric(k.w)) << k.file;
        EXPECT_EQ(member(pic, "Height").to_i4(), plat::pixels_to_himetric(k.h)) << k.file;
        EXPECT_EQ(member(pic, "hPal").to_i4(), 0) << k.file;
        handles[n] = member(pic, "Handle").to_i4();
        EXPECT_NE(handles[n], 0) << k.file;
        EXPECT_EQ(member(pic, "Handle").to_i4(), handles[n]) << k.file;
        ++n;
    }
    EXPECT_NE(handles[0], handles[1]);

    // A stored picture answers the same, also after the control's data file
    // carried it; the empty picture answers zeros.
    plat::Variant pic = call("LoadPicture", {plat::Variant(std::string_view(picture_file("d.bmp", 16, 8, "BMP")))});
    put("PictureRoot", pic);
    EXPECT_EQ(member(get("PictureLeaf"), "Type").to_i4(), 0);
    EXPECT_EQ(member(get("PictureLeaf"), "Width").to_i4(), 0);
    const std::string saved = (dir.path() / "pictures.dat").string();
    ASSERT_EQ(call("SaveData", {plat::Variant(std::string_view(saved))}).to_i4(), 0);
    put("PictureRoot", plat::Variant());
    ASSERT_EQ(call("LoadData", {plat::Variant(std::string_view(saved))}).to_i4(), 0);
    const plat::Variant stored = get("PictureRoot");
    EXPECT_EQ(member(stored, "Type").to_i4(), 1);
    EXPECT_EQ(member(stored, "Width").to_i4(), plat::pixels_to_himetric(16));
    EXPECT_EQ(member(stored, "Height").to_i4(), plat::pixels_to_himetric(8));

    // Read-only, and a device is no picture file.
    plat::CallError e;
    EXPECT_NE(plat::dispatch_put(stored.pdispVal, "Width", plat::Variant(int32_t(5)), {}, &e), plat::S_OK);
    EXPECT_EQ(call_error("LoadPicture", {plat::Variant(std::string_view("/dev/zero"))}), 321);
}

TEST_F(ControlFiles, MetafilePicturesArePlayedIntoTheirCell) {
    struct Case {
        const char* file;
        std::string bytes;
        int16_t type;
    } cases[] = {{"square.wmf", kltest::RedSquareBlueEllipseWmf(), 2},
                 {"square.emf", kltest::RedSquareBlueEllipseEmf(), 4}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.file);
        const auto path = dir.path() / k.file;
        WriteBytes(path, k.bytes);
        plat::Variant pic = call("LoadPicture", {plat::Variant(std::string_view(path.string()))});
        ASSERT_EQ(pic.vt, plat::VT_DISPATCH);
        EXPECT_EQ(member(pic, "Type").to_i4(), k.type);
        EXPECT_EQ(member(pic, "Width").to_i4(), plat::pixels_to_himetric(100));
        // The picture is 100 x 50 pixels: the metafile's window (200 x 100
        // units, 100 x 50 for the enhanced one) is mapped onto it.
        call("Clear");
        put("PictureLeaf", pic);
        call("AddItem", {plat::Variant(std::string_view("leaf"))});
        const QImage img = shot();
        kltest::x::save_shot(img, std::string("control_metafile_") + (k.type == 2 ? "wmf" : "emf"));
        QRect red, blue;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor c(img.pixel(x, y));
                if (c.red() > 200 && c.green() < 60 && c.blue() < 60) red |= QRect(x, y, 1, 1);
                if (c.blue() > 200 && c.red() < 60 && c.green() < 60) blue |= QRect(x, y, 1, 1);
            }
        ASSERT_FALSE(red.isEmpty());
        ASSERT_FALSE(blue.isEmpty());
        EXPECT_NEAR(red.width(), 50, 2);
        EXPECT_NEAR(red.height(), 50, 2);
        EXPECT_NEAR(blue.width(), 50, 2);
        EXPECT_NEAR(blue.height(), 50, 2);
        EXPECT_NEAR(blue.left(), red.right() + 1, 2);
        EXPECT_NEAR(red.top(), blue.top(), 2);
        // Nothing of the picture outside its 100 x 50 pixels.
        EXPECT_LE((red | blue).width(), 101);
    }
}

} // namespace
