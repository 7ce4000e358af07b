// The designer's own pictures: every toolbar command, action kind and drag
// pointer has a drawing of its own, and the action list's rows, on the real
// control, show the drawing of their kind.
#include <QIcon>
#include <QPainter>
#include <QToolButton>
#include <functional>
#include <vector>

#include "KLDesigner/ui/main_form_design.h"
#include "platform/gdi/picture_decode.h"
#include "real_list_rig.h"
#include "vinca/model/picture.h"
#include "vinca/model/values.h"

using kld::ActionRecord;
using kld::ui::MainForm;
using kldtest::ActionListUi;
namespace dispid = vinca::dispid;
using plat::forms::ImageBox;

namespace {

// Something is drawn: some pixels covered, in more than one colour.
bool Drawn(const QImage& image) {
    if (image.isNull()) return false;
    int covered = 0;
    QRgb firstColour = 0;
    bool varied = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qAlpha(c) < 128) continue;
            if (covered++ == 0) firstColour = c;
            varied = varied || c != firstColour;
        }
    return varied && covered >= image.width() * image.height() / 8;
}

// No two of the pictures are the same.
void ExpectDistinct(const std::vector<QImage>& pictures, const std::vector<std::string>& names) {
    for (size_t i = 0; i < pictures.size(); ++i)
        for (size_t j = i + 1; j < pictures.size(); ++j)
            EXPECT_NE(pictures[i], pictures[j]) << names[i] << " and " << names[j] << " look the same";
}

QImage ItemPicture(MainForm& main, int32_t kind) {
    return main.form().Get<ImageBox>("imgOperationType", kind).Picture();
}

// What a row carries: the drawing on white, the list's transparent colour.
QImage ListPicture(MainForm& main, int32_t kind) {
    QImage image(ItemPicture(main, kind).size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter(&image).drawImage(0, 0, ItemPicture(main, kind));
    return image;
}

} // namespace

TEST(DesignerPictures, ToolbarCommandsEachShowTheirOwnPicture) {
    MainForm main;
    std::vector<QImage> shown;
    std::vector<std::string> names;
    for (const kld::ui::ButtonPairDesign& p : kld::ui::ToolbarPairs()) {
        SCOPED_TRACE(p.name);
        const QImage live = main.Live(p.name).button()->icon().pixmap(16).toImage();
        EXPECT_TRUE(Drawn(live));
        // The face stands for the command while it is off: the same picture,
        // which a disabled button draws greyed.
        const QPushButton* face = main.Face(p.name).button();
        EXPECT_FALSE(face->isEnabled());
        EXPECT_EQ(face->icon().pixmap(16).toImage(), live);
        EXPECT_NE(face->icon().pixmap(16, QIcon::Disabled).toImage(), live);
        shown.push_back(live);
        names.push_back(p.name);
    }
    for (int32_t i : {0, 1}) {
        const QImage style = main.ViewStyle(i).button()->icon().pixmap(16).toImage();
        EXPECT_TRUE(Drawn(style)) << "view style " << i;
        shown.push_back(style);
        names.push_back("view style " + std::to_string(i));
    }
    ExpectDistinct(shown, names);
}

TEST(DesignerPictures, ItemKindsAndDragPointersEachHaveTheirOwnPicture) {
    MainForm main;
    std::vector<QImage> items;
    std::vector<std::string> names;
    for (int32_t k = 0; k < kld::picture::Count; ++k) {
        const QImage picture = ItemPicture(main, k);
        EXPECT_EQ(picture.size(), QSize(16, 16)) << "kind " << k;
        EXPECT_TRUE(Drawn(picture)) << "kind " << k;
        items.push_back(picture);
        names.push_back("kind " + std::to_string(k));
    }
    ExpectDistinct(items, names);

    std::vector<QImage> pointers;
    for (int32_t which : {0, 1, 2}) {
        pointers.push_back(main.DragPicture(which));
        EXPECT_EQ(pointers.back().size(), QSize(32, 32)) << "pointer " << which;
        EXPECT_TRUE(Drawn(pointers.back())) << "pointer " << which;
    }
    ExpectDistinct(pointers, {"move", "copy", "no drop"});
}

namespace {

// The picture a picture member of a row holds, decoded; null for none.
QImage RowPicture(plat::IDispatch* list, plat::DISPID member, int32_t row) {
    plat::Variant v;
    const plat::Variant at[] = {plat::Variant(row)};
    if (plat::dispatch_get(list, member, v, at) != plat::S_OK || v.vt != plat::VT_DISPATCH || !v.pdispVal)
        return {};
    plat::ComPtr<vinca::IVincaPicture> picture;
    if (plat::FAILED(v.pdispVal->QueryInterface(vinca::IID_IVincaPicture, picture.put_void())) || !picture)
        return {};
    const auto decoded = plat::gdi::DecodePicture(picture->Type(), picture->Data());
    return decoded ? decoded->image.convertToFormat(QImage::Format_ARGB32) : QImage();
}

ActionRecord Make(int16_t kind, bool group, const std::function<void(ActionRecord&)>& edit = {}) {
    ActionRecord r = kld::ZeroedRecord();
    r.ActionType = kind;
    r.IsGroup = group;
    r.SourceFolder = r.RegKey = "/src";
    r.SourcePath = "a.exe";
    r.Destinations[0].FolderType = 1;
    if (edit) edit(r);
    return r;
}

} // namespace

TEST_F(ActionListUi, RowsShowThePictureOfTheirKind) {
    using namespace kld::action;
    struct Row {
        ActionRecord record;
        int32_t kind;
    };
    const Row rows[] = {
        {Make(InstallFile, true), kld::picture::InstallGroup},
        {Make(InstallFile, false), kld::picture::File},
        {Make(InstallFile, false, [](ActionRecord& r) { r.IsFolder = true; }), kld::picture::FileMask},
        {Make(ExecuteFile, true), kld::picture::ExecuteGroup},
        {Make(ExecuteFile, false), kld::picture::File},
        {Make(CreateRegistry, true), kld::picture::CreateRegistryGroup},
        {Make(CreateRegistry, false,
              [](ActionRecord& r) {
                  r.RegValueName = "Path";
                  r.RegDataType = 1;
                  r.RegDataText = "C:\\";
              }),
         kld::picture::RegistryText},
        {Make(CreateRegistry, false,
              [](ActionRecord& r) {
                  r.RegValueName = "Count";
                  r.RegDataType = 4;
              }),
         kld::picture::RegistryLong},
        {Make(DeleteRegistry, true), kld::picture::DeleteRegistryGroup},
        {Make(DeleteRegistry, false), kld::picture::RegistryText},
    };
    d->Actions.clear();
    for (const Row& r : rows)
        d->Actions.push_back(r.record);
    d->ActionCount = static_cast<int16_t>(d->Actions.size());
    plat::dispatch_call(list.get(), dispid::kClear);
    display->FillOperationsTree(*d);
    ASSERT_EQ(d->Operations().ListCount(), static_cast<int32_t>(std::size(rows)));

    for (int32_t p = 0; p < static_cast<int32_t>(std::size(rows)); ++p) {
        SCOPED_TRACE("row " + std::to_string(p));
        const QImage expected = ListPicture(main, rows[p].kind);
        EXPECT_EQ(RowPicture(list.get(), dispid::kImage, p), expected);
        EXPECT_EQ(RowPicture(list.get(), dispid::kInvImage, p), expected) << "selected";
    }
    kldtest::Screenshot(main.form().window(), "action-kinds");
}

// The committed sample opened as the program opens it; its rows, in both
// views, are kept as screenshots.
TEST_F(ActionListUi, SampleRowsShowTheirPictures) {
    const std::filesystem::path copy = std::filesystem::path(dir.str()) / "sample";
    std::filesystem::copy(KLD_SAMPLE_DIR, copy, std::filesystem::copy_options::recursive);
    d->OpenDocument((copy / "sample.KLD").string());
    main.ShowTab(kld::tab::ActionList);
    const int32_t count = d->Operations().ListCount();
    ASSERT_GT(count, 1);
    for (int32_t p = 0; p < count; ++p) {
        const ActionRecord& r = Record(p);
        const QImage expected =
            ListPicture(main, kld::FaceOf(r).picture);
        EXPECT_EQ(RowPicture(list.get(), dispid::kImage, p), expected) << "row " << p << " " << r.SourcePath;
    }
    kldtest::Screenshot(main.form().window(), "actions-sample");
    // The groups' grids follow the view style the list was filled in.
    main.MenuItem("mnuViewActionListStyle", 1).Click(1);
    d->OpenDocument((copy / "sample.KLD").string());
    main.ShowTab(kld::tab::ActionList);
    kldtest::Screenshot(main.form().window(), "actions-sample-grid");
}
