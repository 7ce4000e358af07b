// The engine side of bench_control: the same document built on the tree
// engine directly, saved to a file as a tree stream and loaded into a second
// engine. Prints "build save load" in seconds. With "selfcopy", an item with
// a subtree of ITEMS items in all copied under its own last descendant;
// prints the seconds of the copy.
//
//   control_engine_peer ACTIONS FILE
//   control_engine_peer selfcopy ITEMS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "vinca/model/engine.h"
#include "vinca/model/host_file.h"
#include "vinca/model/stream.h"
#include "vinca/model/tree_stream.h"
#include "vinca/model/tree_stream_records.h"

namespace {

double Seconds(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Owner : vinca::IVincaOwner {};

vinca::CItem* Add(vinca::CVincaEngine& e, vinca::CItem* parent, const std::string& text) {
    vinca::CItem* made = nullptr;
    vinca::CItemNode* node = parent ? parent->GetChildNode() : e.RootNode();
    e.InsertItem({node, -1}, text, 0, -1, &made);
    return made;
}

// An item with 99 children of about 100 children each, `items` in all.
vinca::CItem* BuildSubtree(vinca::CVincaEngine& e, int items) {
    vinca::CItem* top = Add(e, nullptr, "s");
    int made = 1;
    for (int i = 0; made < items; ++i) {
        vinca::CItem* child = Add(e, top, std::to_string(i));
        ++made;
        for (int j = 0; j < 100 && made < items; ++j, ++made)
            Add(e, child, std::to_string(j));
    }
    return top;
}

int SelfCopy(int items) {
    Owner owner;
    vinca::CVincaEngine engine(&owner);
    vinca::CItem* top = BuildSubtree(engine, items);
    vinca::CItem* last = top;
    while (last->ChildNode() && last->ChildNode()->GetCount() > 0)
        last = last->ChildNode()->GetAt(last->ChildNode()->GetCount() - 1);
    vinca::VResult r = vinca::VE_OK;
    const double copy = Seconds([&] { r = engine.AddItemCopy({last->GetChildNode(), -1}, top); });
    if (r != vinca::VE_OK || engine.ListCount() != 2 * items) {
        std::fprintf(stderr, "copied into %d items\n", engine.ListCount());
        return 2;
    }
    std::printf("%f\n", copy);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 1;
    if (std::string(argv[1]) == "selfcopy") return SelfCopy(std::atoi(argv[2]));
    const int actions = std::atoi(argv[1]);
    const std::string path = argv[2];
    Owner owner;
    vinca::CVincaEngine engine(&owner);
    vinca::CVincaEngine loaded(&owner);

    const double build = Seconds([&] {
        vinca::CItem* product = Add(engine, nullptr, "0");
        for (int i = 21; i <= 33; ++i)
            engine.SetItemValue(Add(engine, product, std::to_string(i)), plat::Variant("product field"));
        vinca::CItem* operations = Add(engine, nullptr, "1");
        for (int i = 0; i < actions; ++i) {
            vinca::CItem* action = Add(engine, operations, std::to_string(90001 + i));
            engine.SetItemValue(action, plat::Variant(int32_t(i)));
            engine.SetItemValue(Add(engine, action, "file"), plat::Variant("c:\\source\\file.dll"));
            engine.SetItemValue(Add(engine, action, "type"), plat::Variant(int16_t(1)));
            engine.SetItemValue(Add(engine, action, "edition"), plat::Variant(2.5f));
            engine.SetItemValue(Add(engine, action, "size"), plat::Variant(int32_t(1000 + i)));
        }
    });
    const double save = Seconds([&] {
        vinca::CVincaFileStream file(path, vinca::CVincaFileStream::CREATE_ALWAYS);
        vinca::CTreeStream ts(file, vinca::CTreeStream::MODE_WRITE);
        if (ts.Open()) vinca::WriteTreeRef(ts, vinca::CTreeRef{vinca::CTreeRef::kTree, engine.Root()}, true);
        ts.Close();
    });
    const double load = Seconds([&] {
        vinca::CVincaFileStream file(path, vinca::CVincaFileStream::OPEN_EXISTING);
        vinca::CTreeStream ts(file, vinca::CTreeStream::MODE_READ);
        vinca::CTreeRef ref;
        if (ts.Open()) vinca::ReadTreeRef(ts, ref);
        vinca::MergeTreeRef(loaded, ref, -1, false);
    });
    if (loaded.ListCount() != engine.ListCount()) {
        std::fprintf(stderr, "loaded %d items of %d\n", loaded.ListCount(), engine.ListCount());
        return 2;
    }
    std::printf("%f %f %f\n", build, save, load);
    return 0;
}
