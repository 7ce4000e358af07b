#pragma once
// A client context on a fresh emulated machine: a product folder, a
// temporary folder and the environment every INF path expands against.
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "client/engine/context.h"
#include "platform/sys/environment.h"
#include "support/servers.h"
#include "support/temp_dir.h"

namespace engine_test {

struct Machine {
    kltest::TempDir dir;
    klc::CClientContext ctx;

    Machine() {
        std::filesystem::create_directories(dir / "product");
        std::filesystem::create_directories(dir / "temp");
        ctx.product_folder = (dir / "product").string();
        ctx.temporary_folder = (dir / "temp").string();
        // The client's own store beside it, so that snapshots of the
        // machine show only what an update did to the machine.
        ctx.store_folder = (dir / "store").string();
        ctx.log_file = (dir / "client.log").string();
        ctx.log_level = 3;
        ctx.automatic_mode = 1;
        plat::set_environment("PRODUCT", ctx.product_folder);
        plat::set_environment("PROGRAM FILES", (dir / "pf").string());
    }
    std::string path(const std::string& rel) const { return (dir / rel).string(); }
    std::string log() const { return kltest::read_file(dir / "client.log"); }
};

// nginx serving a folder of its own on loopback.
struct WebServer {
    kltest::TempDir root;
    std::unique_ptr<kltest::NginxServer> nginx;

    bool Start() {
        if (!kltest::have_program("nginx")) return false;
        nginx = std::make_unique<kltest::NginxServer>(root.str());
        return nginx->start();
    }
};

// Every entry below a folder: files with their bytes, folders, and links
// with their targets (links are not followed).
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> out;
    if (!fs::exists(folder)) return out;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        std::string rel = fs::relative(e.path(), folder).string();
        if (e.is_symlink())
            out[rel] = "-> " + fs::read_symlink(e.path()).string();
        else if (e.is_directory())
            out[rel] = "<folder>";
        else
            out[rel] = kltest::read_file(e.path());
    }
    return out;
}

} // namespace engine_test
