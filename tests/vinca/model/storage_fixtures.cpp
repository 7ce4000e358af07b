#include "storage_fixtures.h"

#include <gtest/gtest.h>

#include "vinca/model/grid.h"
#include "vinca/model/names.h"
#include "vinca/model/picture.h"
#include "vinca/model/values.h"

using namespace vinca;
using plat::Variant;

namespace storage_test {

CTreeRef NewTree() {
    CTreeRef ref;
    ref.kind = CTreeRef::kTree;
    ref.item = CRootItem::New();
    ref.item->GetChildNode();
    return ref;
}

CItem* AddChild(CItem* parent, const char* text) {
    int32_t at = -1;
    CItem* made = nullptr;
    EXPECT_EQ(parent->GetChildNode()->AddNewChild(at, text, 0, &made), VE_OK);
    return made;
}

CItem* AddChild(const CTreeRef& tree, const char* text) {
    return AddChild(tree.item.get(), text);
}

Bytes Save(const CTreeRef& ref, bool descendants) {
    CVincaMemStream mem;
    CTreeStream ts(mem, CTreeStream::MODE_WRITE);
    EXPECT_TRUE(ts.Open());
    WriteTreeRef(ts, ref, descendants);
    ts.Close();
    EXPECT_EQ(mem.Error(), VE_OK);
    return mem.Store().ToVector();
}

VResult Load(const Bytes& bytes, CTreeRef& out) {
    CVincaSpanStream span(bytes);
    CTreeStream ts(span, CTreeStream::MODE_READ);
    if (ts.Open()) ReadTreeRef(ts, out);
    return span.Error();
}

std::string BitmapBytes() {
    std::string b = "BM";
    b.append(60, '\x11');
    return b;
}

CTreeRef RichTree() {
    CTreeRef tree = NewTree();
    tree.item->SetSortKey(GlobalName("order"));
    tree.item->SetSortMethodBits(1);

    auto picture = NewPicture(PICTYPE_BITMAP, BitmapBytes());
    FontDesc fd;
    fd.name = "Sans";
    fd.size = 90000;
    fd.weight = 700;
    fd.italic = true;
    auto font = NewFont(fd);

    CItem* parent = AddChild(tree, "Parent");
    parent->SetExpandedFlag();
    parent->SetMark(3);
    parent->SetItemWord(INT32_MIN + 1);
    CAttrSet& v = parent->GetItemData()->Values();
    v.SetOrAddValue(names::ObsoleteValue(), Variant(int32_t(42)));
    v.SetOrAddValue(GlobalName("i2"), Variant(int16_t(-7)));
    v.SetOrAddValue(GlobalName("r4"), Variant(1.25f));
    v.SetOrAddValue(GlobalName("r8"), Variant(-2.5e100));
    v.SetOrAddValue(GlobalName("cy"), Variant::currency(1234567));
    v.SetOrAddValue(GlobalName("date"), Variant::from_date(46366.5));
    v.SetOrAddValue(GlobalName("wide"), Variant(u"w\u00e9de"));
    v.SetOrAddValue(GlobalName("ansi"), Variant::ansi("a\xC3\xA9"));
    v.SetOrAddValue(GlobalName("bool"), Variant::boolean(true));
    v.SetOrAddValue(GlobalName("byte"), Variant::byte(250));
    v.SetOrAddValue(GlobalName("err"), Variant::error(0x800A0005));
    v.SetOrAddValue(GlobalName("pic"), Variant(static_cast<plat::IDispatch*>(picture.get())));
    v.SetOrAddValue(GlobalName("font"), Variant(static_cast<plat::IDispatch*>(font.get())));
    CAttrEntry* cell = v.GetOrAdd(GlobalName("cell"));
    cell->NestedSet()->SetOrAddValue(GlobalName("__BackColor"), Variant(int32_t(0xFF)));
    cell->SetValue(Variant("cell text"));

    Ref<CTreeGrid> grid = CTreeGrid::New(CTreeGrid::ITEM_GRID);
    grid->SetColumnCount(3);
    grid->Column(2)->TitleEntry()->SetValue(Variant("Title"));
    grid->Column(2)->SetVisible(false);
    grid->m_rowHeight = 300.0f;
    parent->SetGrid(grid.get());

    AddChild(parent, "Child 1");
    CItem* c2 = AddChild(parent, "Child 2");
    c2->GetItemData()->Values().SetOrAddValue(GlobalName("pic"),
                                              Variant(static_cast<plat::IDispatch*>(picture.get())));

    CItem* virt = AddChild(tree, "Virtual");
    CItemNode* node = virt->GetChildNode();
    node->SetVirtual(true);
    node->SetVirtualCount(100);
    node->GetAt(5)->GetItemData()->Values().SetOrAddValue(GlobalName("kept"), Variant(int32_t(5)));
    node->GetAt(7); // made, carries nothing: not stored
    return tree;
}

void ExpectRichTree(const CTreeRef& tree) {
    ASSERT_EQ(tree.kind, CTreeRef::kTree);
    EXPECT_EQ(tree.item->SortKey(), GlobalName("order"));
    EXPECT_EQ(tree.item->SortMethod(), 1);
    CItemNode* top = tree.item->ChildNode();
    ASSERT_EQ(top->GetCount(), 2);
    CItem* parent = top->GetAt(0);
    EXPECT_EQ(parent->Text(), "Parent");
    EXPECT_TRUE(parent->IsExpanded());
    EXPECT_EQ(parent->Mark(), 3);
    EXPECT_EQ(parent->ItemWord(), INT32_MIN + 1);
    ASSERT_NE(parent->ItemData(), nullptr);
    const CAttrSet& v = parent->ItemData()->Values();
    EXPECT_EQ(v.GetInt(names::ObsoleteValue()), 42);
    EXPECT_EQ(v.FindValue(GlobalName("ansi"))->vt, VT_ANSI_TEXT);
    EXPECT_EQ(ValueToText(*v.FindValue(GlobalName("wide"))), "w\xC3\xA9"
                                                             "de");
    auto pic = ValuePicture(*v.FindValue(GlobalName("pic")));
    ASSERT_TRUE(pic);
    auto font = ValueFont(*v.FindValue(GlobalName("font")));
    ASSERT_TRUE(font);
    EXPECT_EQ(static_cast<IVincaFont*>(font.get())->Desc().name, "Sans");
    CAttrEntry* cell = v.Find(GlobalName("cell"));
    ASSERT_NE(cell, nullptr);
    ASSERT_NE(cell->NestedSet(false), nullptr);
    EXPECT_EQ(cell->NestedSet(false)->GetInt(GlobalName("__BackColor")), 0xFF);

    auto* grid = dynamic_cast<CTreeGrid*>(parent->Grid());
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->ColumnCount(), 3);
    EXPECT_FALSE(grid->Column(2)->Visible());
    EXPECT_EQ(grid->m_rowHeight, 300.0f);

    ASSERT_EQ(parent->ChildCount(), 2);
    CItem* c2 = parent->ChildNode()->GetAt(1);
    // The same picture object in two places comes back as one object.
    auto pic2 = ValuePicture(*c2->ItemData()->Values().FindValue(GlobalName("pic")));
    EXPECT_EQ(pic2.get(), pic.get());

    CItemNode* virt = top->GetAt(1)->ChildNode();
    ASSERT_NE(virt, nullptr);
    EXPECT_TRUE(virt->IsVirtual());
    EXPECT_EQ(virt->GetCount(), 100);
    ASSERT_EQ(virt->MaterialisedCount(), 1);
    EXPECT_EQ(virt->MaterialisedAt(0)->IndexField(), 5);
}

} // namespace storage_test
