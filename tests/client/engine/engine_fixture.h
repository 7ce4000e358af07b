#pragma once
// A client context on a fresh emulated machine: a product folder, a
// temporary folder and the environment every INF path expands against.
#include <filesystem>
#include <string>

#include "client/engine/context.h"
#include "platform/sys/environment.h"
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
        ctx.log_file = (dir / "client.log").string();
        ctx.log_level = 3;
        ctx.automatic_mode = 1;
        plat::set_environment("PRODUCT", ctx.product_folder);
        plat::set_environment("PROGRAM FILES", (dir / "pf").string());
    }
    std::string path(const std::string& rel) const { return (dir / rel).string(); }
    std::string log() const { return kltest::read_file(dir / "client.log"); }
};

} // namespace engine_test
