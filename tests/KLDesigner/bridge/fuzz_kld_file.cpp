// Fuzz target: arbitrary bytes opened as a description file through the
// control library and read into a detached document. Any input must end in a
// document or a refusal, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <stdlib.h>

#include "KLDesigner/bridge/kld_file.h"
#include "platform/com/loader.h"

namespace {

struct Rig {
    std::string dir;
    kld::CHostSite site;
    plat::ComPtr<plat::IDispatch> buffer;
    std::unique_ptr<kld::CDescriptionFile> file;
};

Rig& Setup() {
    static Rig* rig = [] {
        auto* r = new Rig;
        char tmpl[] = "/tmp/kld-fuzz-XXXXXX";
        r->dir = ::mkdtemp(tmpl);
        // The control is registered in a machine of the run's own.
        ::setenv("KL_MACHINE_ROOT", (r->dir + "/machine").c_str(), 1);
        if (plat::call_library_registration(KLD_VINCA5_PATH, false) != plat::S_OK) std::abort();
        r->buffer = r->site.Create(kld::kTreeListClassId);
        if (!r->buffer) std::abort();
        r->file = std::make_unique<kld::CDescriptionFile>(r->site, r->buffer.get());
        return r;
    }();
    return *rig;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Rig& r = Setup();
    const std::string path = r.dir + "/input.KLD";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    kld::DescriptionDocument doc;
    r.file->Load(path, doc);
    return 0;
}
