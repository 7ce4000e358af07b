// The engine side of bench_control: the same document built on the tree
// engine directly, saved to a file as a tree stream and loaded into a second
// engine. Prints "build save load" in seconds.
//
//   control_engine_peer ACTIONS FILE
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

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 1;
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
