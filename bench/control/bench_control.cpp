// The designer's document (a product item with 13 rows and an operations
// item with N actions of four valued sub-items each) built, saved with
// Save(-1) into a file by number and loaded with LoadAndAdd(-1) into a second
// control, all through IDispatch on controls created from libvinca5.so; then
// the same work on the tree engine directly, in a program of its own
// (control_engine_peer). Prints both and the ratio of each step.
//
// With --values the fields go through ItemValues(i, key).Value, as the
// designer writes them, instead of the typed item members.
//
// Then an item with a subtree of 10,000 items (and of 20,000, to show that
// the time grows with the size alone) copied under its own last
// descendant with Add(j) = ItemBM(i), beside the same copy on the engine.
//
//   bench_control [--actions N] [--values]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/com/dispatch_client.h"
#include "platform/com/loader.h"
#include "platform/com/ole.h"
#include "platform/com/persist.h"
#include "vinca/model/host_file.h"

using plat::Variant;

namespace {

constexpr plat::CLSID kControl = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");

double Seconds(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A site that offers the container's files by number (only number 1 here).
class Site final : public plat::IOleClientSite, public vinca::IHostFiles, public vinca::IHostFileAccess {
  public:
    std::FILE* file{nullptr};

    plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override {
        *out = nullptr;
        if (iid == plat::IID_IUnknown || iid == plat::IOleClientSite::kIID)
            *out = static_cast<plat::IOleClientSite*>(this);
        else if (iid == vinca::IID_IHostFiles)
            *out = static_cast<vinca::IHostFiles*>(this);
        else if (iid == vinca::IID_IHostFileAccess)
            *out = static_cast<vinca::IHostFileAccess*>(this);
        return *out ? plat::S_OK : plat::E_NOINTERFACE;
    }
    plat::ULONG AddRef() override { return 2; }
    plat::ULONG Release() override { return 1; }
    plat::HRESULT SaveObject() override { return plat::S_OK; }
    plat::HRESULT GetMoniker(uint32_t, uint32_t, plat::IMoniker**) override { return plat::E_NOTIMPL; }
    plat::HRESULT GetContainer(plat::IOleContainer**) override { return plat::E_NOINTERFACE; }
    plat::HRESULT ShowObject() override { return plat::S_OK; }
    plat::HRESULT OnShowWindow(plat::BOOL) override { return plat::S_OK; }
    plat::HRESULT RequestNewObjectLayout() override { return plat::E_NOTIMPL; }
    plat::HRESULT GetFileAccess(plat::REFIID iid, void** out, uint32_t) override {
        return QueryInterface(iid, out);
    }
    plat::HRESULT Read(int16_t, void* buffer, uint16_t count) override {
        return std::fread(buffer, 1, count, file) == count ? plat::S_OK : plat::E_FAIL;
    }
    plat::HRESULT Write(int16_t, const void* buffer, uint16_t count) override {
        return std::fwrite(buffer, 1, count, file) == count ? plat::S_OK : plat::E_FAIL;
    }
    plat::HRESULT SeekFromStart(int16_t, int32_t offset, uint32_t* pos) override {
        if (std::fseek(file, offset, SEEK_SET)) return plat::E_FAIL;
        if (pos) *pos = static_cast<uint32_t>(std::ftell(file));
        return plat::S_OK;
    }
    plat::HRESULT SeekFromCurrent(int16_t, int32_t offset, uint32_t* pos) override {
        if (std::fseek(file, offset, SEEK_CUR)) return plat::E_FAIL;
        if (pos) *pos = static_cast<uint32_t>(std::ftell(file));
        return plat::S_OK;
    }
};

plat::ComPtr<plat::IDispatch> Create(Site& site) {
    plat::ComPtr<plat::IDispatch> ctl;
    if (plat::FAILED(plat::create_instance(kControl, plat::IID_IDispatch, ctl.put_void()))) return nullptr;
    plat::ComPtr<plat::IOleObject> ole;
    ctl.query(plat::IOleObject::kIID, ole);
    ole->SetClientSite(&site);
    plat::ComPtr<plat::IPersistStreamInit> init;
    ctl.query(plat::IPersistStreamInit::kIID, init);
    init->InitNew();
    return ctl;
}

// Members by number, as the designer calls them.
struct Caller {
    plat::IDispatch* ctl;
    plat::DISPID add_item{}, new_index{}, str_value{}, int_value{}, lng_value{}, sng_value{}, save{}, load{},
        list_count{}, item_values{};
    bool by_name{false};
    explicit Caller(plat::IDispatch* c) : ctl(c) {
        plat::dispatch_id(c, "AddItem", add_item);
        plat::dispatch_id(c, "NewIndex", new_index);
        plat::dispatch_id(c, "ItemStrValue", str_value);
        plat::dispatch_id(c, "ItemIntValue", int_value);
        plat::dispatch_id(c, "ItemLngValue", lng_value);
        plat::dispatch_id(c, "ItemSngValue", sng_value);
        plat::dispatch_id(c, "Save", save);
        plat::dispatch_id(c, "LoadAndAdd", load);
        plat::dispatch_id(c, "ListCount", list_count);
        plat::dispatch_id(c, "ItemValues", item_values);
    }
    int32_t Add(const std::string& text, int32_t parent) {
        Variant args[] = {Variant(std::string_view(text)), Variant(parent)};
        plat::dispatch_call(ctl, add_item, parent < 0 ? std::span(args, 1) : std::span(args, 2));
        Variant v;
        plat::dispatch_get(ctl, new_index, v);
        return v.lVal;
    }
    void Put(plat::DISPID id, int32_t index, const Variant& value) {
        Variant i(index);
        if (by_name && id != save && id != load) {
            // A named value: the designer's keys are one character.
            Variant args[] = {i, Variant(std::string_view(id == str_value   ? "0"
                                                          : id == int_value ? "1"
                                                                            : "2"))};
            Variant obj;
            plat::dispatch_get(ctl, item_values, obj, args);
            plat::dispatch_put(obj.pdispVal, 1, value);
            return;
        }
        plat::dispatch_put(ctl, id, value, std::span(&i, 1));
    }
    int32_t Count() {
        Variant v;
        plat::dispatch_get(ctl, list_count, v);
        return v.lVal;
    }
};

// Seconds of Add(last) = ItemBM(0) on a new control holding an item with a
// subtree of `items` items in all (99 children of about 100 children each);
// negative when the copy is not what it should be.
double SelfCopy(Site& site, int items) {
    auto ctl = Create(site);
    if (!ctl) return -1;
    Caller c(ctl.get());
    c.Add("s", -1);
    for (int i = 0, made = 1; made < items; ++i) {
        const int32_t child = c.Add(std::to_string(i), 0);
        ++made;
        for (int j = 0; j < 100 && made < items; ++j, ++made)
            c.Add(std::to_string(j), child);
    }
    plat::DISPID item_bm = 0, add = 0;
    plat::dispatch_id(ctl.get(), "ItemBM", item_bm);
    plat::dispatch_id(ctl.get(), "Add", add);
    Variant bookmark;
    Variant top(int32_t(0));
    plat::dispatch_get(ctl.get(), item_bm, bookmark, std::span(&top, 1));
    Variant last(c.Count() - 1);
    plat::HRESULT hr = plat::S_OK;
    const double seconds = Seconds([&] { hr = plat::dispatch_put(ctl.get(), add, bookmark, std::span(&last, 1)); });
    if (plat::FAILED(hr) || c.Count() != 2 * items) {
        std::fprintf(stderr, "copied into %d items\n", c.Count());
        return -1;
    }
    return seconds;
}

double PeerSelfCopy(int items) {
    const std::string command = std::string(KL_ENGINE_PEER) + " selfcopy " + std::to_string(items);
    double seconds = -1;
    FILE* peer = popen(command.c_str(), "r");
    if (!peer || std::fscanf(peer, "%lf", &seconds) != 1) seconds = -1;
    if (peer) pclose(peer);
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    int actions = 10000;
    bool by_name = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--actions") && i + 1 < argc) actions = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--values")) by_name = true;
    }

    // A machine root of its own for the registration.
    char root_template[] = "/tmp/bench_control.XXXXXX";
    const char* root = mkdtemp(root_template);
    if (!root) return 1;
    setenv("KL_MACHINE_ROOT", root, 1);
    if (plat::call_library_registration(KL_VINCA5_PATH, false) != plat::S_OK) {
        std::fprintf(stderr, "cannot register %s\n", KL_VINCA5_PATH);
        return 1;
    }
    const std::string path = std::string(root) + "/document.kld";

    Site site;
    auto first = Create(site);
    auto second = Create(site);
    if (!first || !second) return 1;
    Caller a(first.get()), b(second.get());
    a.by_name = by_name;

    const double build = Seconds([&] {
        const int32_t product = a.Add("0", -1);
        for (int i = 21; i <= 33; ++i)
            a.Put(a.str_value, a.Add(std::to_string(i), product), Variant("product field"));
        const int32_t operations = a.Add("1", -1);
        for (int i = 0; i < actions; ++i) {
            const int32_t action = a.Add(std::to_string(90001 + i), operations);
            a.Put(a.lng_value, action, Variant(int32_t(i)));
            a.Put(a.str_value, a.Add("file", action), Variant("c:\\source\\file.dll"));
            a.Put(a.int_value, a.Add("type", action), Variant(int16_t(1)));
            a.Put(a.sng_value, a.Add("edition", action), Variant(2.5f));
            a.Put(a.lng_value, a.Add("size", action), Variant(int32_t(1000 + i)));
        }
    });
    const double save = Seconds([&] {
        site.file = std::fopen(path.c_str(), "w+b");
        a.Put(a.save, -1, Variant(int16_t(1)));
        std::fclose(site.file);
    });
    const double load = Seconds([&] {
        site.file = std::fopen(path.c_str(), "rb");
        b.Put(b.load, -1, Variant(int16_t(1)));
        std::fclose(site.file);
    });
    if (b.Count() != a.Count()) {
        std::fprintf(stderr, "loaded %d items of %d\n", b.Count(), a.Count());
        return 2;
    }

    // The engine side, in a process of its own.
    const std::string command =
        std::string(KL_ENGINE_PEER) + " " + std::to_string(actions) + " " + std::string(root) + "/engine.kld";
    double e_build = 0, e_save = 0, e_load = 0;
    FILE* peer = popen(command.c_str(), "r");
    if (!peer || std::fscanf(peer, "%lf %lf %lf", &e_build, &e_save, &e_load) != 3) {
        std::fprintf(stderr, "the engine side did not answer\n");
        return 1;
    }
    pclose(peer);

    const double copy10 = SelfCopy(site, 10000), copy20 = SelfCopy(site, 20000);
    const double e_copy10 = PeerSelfCopy(10000), e_copy20 = PeerSelfCopy(20000);
    std::filesystem::remove_all(root);
    if (copy10 < 0 || copy20 < 0 || e_copy10 < 0 || e_copy20 < 0) {
        std::fprintf(stderr, "a copy into its own subtree failed\n");
        return 2;
    }

    std::printf("%d actions, %d items, fields through %s\n", actions, a.Count(),
                by_name ? "ItemValues(i, key).Value" : "the typed item members");
    std::printf("%-8s %12s %12s %8s\n", "step", "dispatch s", "engine s", "ratio");
    auto row = [](const char* step, double d, double e) {
        std::printf("%-8s %12.4f %12.4f %8.2f\n", step, d, e, e > 0 ? d / e : 0.0);
    };
    row("build", build, e_build);
    row("save", save, e_save);
    row("load", load, e_load);
    row("total", build + save + load, e_build + e_save + e_load);
    std::printf("\ncopy of an item's subtree under its own last descendant, Add(j) = ItemBM(i)\n");
    row("10k", copy10, e_copy10);
    row("20k", copy20, e_copy20);
    std::printf("%-8s %12.2f %12.2f   (20k / 10k: 2 is linear)\n", "growth", copy20 / copy10, e_copy20 / e_copy10);
    return 0;
}
