// A one-item description file read by the tree reader alone (this program
// never loads the control): item texts, nesting, value keys and types.
#include <gtest/gtest.h>

#include <map>
#include <span>

#include "support/temp_dir.h"
#include "vinca/model/host_file.h"
#include "vinca/model/item.h"
#include "vinca/model/names.h"
#include "vinca/model/stream.h"
#include "vinca/model/tree_stream.h"
#include "vinca/model/tree_stream_records.h"

using namespace vinca;

namespace {

// Automation texts are kept as wide text.
constexpr uint16_t kText = 8;

std::vector<CItem*> Children(CItem* item) {
    std::vector<CItem*> out;
    if (CItemNode* node = item->ChildNode())
        for (int32_t i = 0; i < node->GetCount(); ++i)
            out.push_back(node->GetAt(i));
    return out;
}

std::string Texts(CItem* item) {
    std::string s;
    for (CItem* c : Children(item))
        s += (s.empty() ? "" : " ") + c->Text();
    return s;
}

CItem* Child(CItem* item, const std::string& text) {
    for (CItem* c : Children(item))
        if (c->Text() == text) return c;
    ADD_FAILURE() << "no " << text << " under " << item->Text();
    return nullptr;
}

// Key and type of every value in key order, as "0:8 1:8 ...".
std::string Keys(CItem* item) {
    std::map<std::string, uint16_t> keys;
    if (CItemData* data = item ? item->ItemData() : nullptr)
        for (int32_t i = 0; i < data->Values().GetCount(); ++i) {
            CAttrEntry* e = data->Values().GetAt(i);
            keys[e->Name()->Text()] = e->Value().vt;
        }
    std::string s;
    for (const auto& [key, vt] : keys)
        s += (s.empty() ? "" : " ") + key + ":" + std::to_string(vt);
    return s;
}

plat::Variant Value(CItem* item, const std::string& key) {
    CItemData* data = item->ItemData();
    for (int32_t i = 0; data && i < data->Values().GetCount(); ++i)
        if (data->Values().GetAt(i)->Name()->Text() == key) return data->Values().GetAt(i)->Value();
    return {};
}

TEST(KldLayout, OneItemDocumentAsTheTreeReaderSeesIt) {
    const std::string bytes = kltest::read_file(KLD_DATA "/one_item.KLD");
    ASSERT_GT(bytes.size(), 12u);
    // The stream header: signature, reference counter, version 16, marker;
    // then the whole tree.
    EXPECT_EQ(bytes.substr(0, 2), "DU");
    EXPECT_EQ(bytes.substr(6, 6), std::string("\x10\x00\x05\x00\x13\x00", 6));
    EXPECT_EQ(bytes.substr(12, 2), "TR");
    CVincaSpanStream span(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    CTreeStream ts(span, CTreeStream::MODE_READ);
    CTreeRef tree;
    ASSERT_EQ(ReadTreePayload(ts, tree), VE_OK);
    ASSERT_EQ(tree.kind, CTreeRef::kTree);
    CItem* root = tree.item.get();

    EXPECT_EQ(Texts(root), "0 1");
    CItem* product = Child(root, "0");
    CItem* ops = Child(root, "1");
    ASSERT_TRUE(product && ops);
    EXPECT_EQ(Texts(product), "21 22 23 31 32 33");
    EXPECT_EQ(Texts(ops), "90001");
    CItem* action = Child(ops, "90001");
    ASSERT_TRUE(action);
    EXPECT_EQ(Texts(action), "5 6 7 81 82 83");
    CItem* criteria = Child(action, "7");
    ASSERT_TRUE(criteria);
    EXPECT_EQ(Texts(criteria), "4");
    EXPECT_EQ(Texts(Child(criteria, "4")), "");

    const std::string T = std::to_string(kText);
    // No key "3" on the product item; keys restart at "0" on every item.
    EXPECT_EQ(Keys(product), "0:" + T + " 1:" + T + " 2:" + T + " 4:3 5:" + T + " 6:" + T + " 7:" + T +
                                 " 8:" + T + " 9:" + T + " A:" + T + " B:4 C:11 D:11 E:11");
    const std::string criterion = "0:2 1:" + T + " 2:" + T + " 3:" + T + " 4:4";
    const std::string destination = "0:2 1:" + T + " 2:" + T + " 3:" + T + " 4:11";
    for (const char* row : {"21", "22", "23"})
        EXPECT_EQ(Keys(Child(product, row)), criterion) << row;
    for (const char* row : {"31", "32", "33"})
        EXPECT_EQ(Keys(Child(product, row)), destination) << row;
    for (const char* row : {"81", "82", "83"})
        EXPECT_EQ(Keys(Child(action, row)), destination) << row;
    EXPECT_EQ(Keys(action), "0:11 1:2 2:11 3:" + T + " 4:11 5:11 6:11 7:11 8:11 9:" + T + " A:11");
    EXPECT_EQ(Keys(Child(action, "5")), "0:3 1:11 2:" + T + " 3:11 4:3 5:3 6:3 7:7 8:3 9:3");
    EXPECT_EQ(Keys(Child(action, "6")), "0:" + T + " 1:" + T + " 2:3 3:" + T + " 4:3");
    EXPECT_EQ(Keys(criteria), "0:2 1:2 2:" + T + " 3:" + T + " 4:" + T);
    EXPECT_EQ(Keys(Child(criteria, "4")), "0:2 1:4");

    EXPECT_EQ(Value(product, "0").to_utf8(), "One");
    EXPECT_EQ(Value(product, "4").to_i4(), 500);
    EXPECT_EQ(Value(product, "B").to_r8(), 0.5);
    EXPECT_EQ(Value(product, "C").boolVal, -1);
    EXPECT_EQ(Value(product, "D").boolVal, 0);
    EXPECT_EQ(Value(action, "2").boolVal, -1);
    EXPECT_EQ(Value(action, "3").to_utf8(), "/src");
    EXPECT_EQ(Value(Child(action, "5"), "7").date, 36526.25);
    EXPECT_EQ(Value(Child(criteria, "4"), "1").to_r8(), 2.5);
    EXPECT_EQ(Value(Child(action, "82"), "1").to_utf8(), "%PRODUCT%");
}

} // namespace
