#include "engine_publish.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "client/engine/product.h"
#include "common/password.h"
#include "platform/archive/zip_archive.h"
#include "platform/base/strings.h"
#include "platform/config/ini.h"
#include "platform/sys/paths.h"
#include "support/temp_dir.h"

namespace engine_test {

std::vector<std::vector<std::string>> Publish(const std::string& folder, const Publication& pub) {
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    kltest::TempDir sources;
    plat::IniDocument inf;
    auto put = [&](const std::string& section, const std::string& key, const std::string& value) {
        EXPECT_EQ(inf.set(section, key, value), plat::SysError::Success) << key;
    };
    put("Common", "INFVersion", "3");
    put("Common", "Name", pub.product);
    put("Common", "Manufacturer", pub.manufacturer);
    put("Common", "Path", pub.web_location);
    put("Common", "CriteriaType", "0");
    put("Common", "RegistryCriteria", "");
    put("Common", "PathType", "0");
    for (const auto& [k, v] : pub.common_extra)
        put("Common", k, v);

    std::vector<std::vector<std::string>> produced;
    int counter = 0;
    for (const PublishedFile& f : pub.files) {
        ++counter;
        std::string section = plat::strprintf("File%d", counter);
        std::string source = (sources.path() / plat::strprintf("src%d", counter) / f.name).string();
        kltest::write_file(source, f.content);
        std::string base = plat::strprintf("_%04d", counter);
        int64_t size = static_cast<int64_t>(f.content.size());

        std::vector<std::string> pieces;
        bool plain = !f.compress && !f.encrypt && (pub.chunk_size / 1024 < 1 || size < pub.chunk_size);
        if (!f.rename_from.empty()) {
            pieces.push_back(f.rename_from);
        } else if (plain) {
            fs::copy_file(source, fs::path(folder) / (base + ".KL_"), fs::copy_options::overwrite_existing);
            pieces.push_back(base + ".KL_");
        } else {
            plat::archive::PackOptions options;
            options.level = f.compress ? 9 : 0;
            if (f.encrypt) options.password = kl::EncodePassword(base);
            options.piece_size = static_cast<uint64_t>(pub.chunk_size);
            std::vector<std::string> written;
            EXPECT_EQ(plat::archive::pack_file(source, (fs::path(folder) / (base + ".ZIP")).string(), options,
                                               &written),
                      plat::archive::ArchiveError::Ok);
            for (const auto& w : written)
                pieces.push_back(fs::path(w).filename().string());
        }

        put(section, "FileName", f.name);
        put(section, "Date", f.date);
        put(section, "Size", std::to_string(size));
        put(section, "Version", f.version);
        put(section, "Build", std::to_string(f.build));
        put(section, "Action", std::to_string(f.action));
        if (f.compare != 0)
            put(section, "Compare", std::to_string(f.compare));
        else
            put(section, "CriteriaType", "0");
        put(section, "DestinationType", "1");
        put(section, "DestinationPath", f.destination);
        if (f.compress) put(section, "Compress", "1");
        if (f.encrypt) put(section, "Encrypt", "1");
        for (size_t k = 0; k < pieces.size(); ++k) {
            put(section, plat::strprintf("SourceFile%zu", k + 1), pieces[k]);
            if (f.rename_from.empty())
                put(section, plat::strprintf("SourceSize%zu", k + 1),
                    std::to_string(fs::file_size(fs::path(folder) / pieces[k])));
        }
        for (const auto& [k, v] : f.extra)
            put(section, k, v);
        produced.push_back(pieces);
    }
    EXPECT_EQ(inf.save(fs::path(folder) / pub.inf_name), plat::SysError::Success);

    plat::IniDocument products;
    products.set("Common", "INFVersion", "3");
    products.set("Common", "Server", pub.web_location);
    products.set("Common", "CompanyName", pub.manufacturer);
    products.set("Product1", "Name", pub.product);
    products.set("Product1", "File", pub.web_location + "/" + pub.inf_name);
    EXPECT_EQ(products.save(fs::path(folder) / "Products.INF"), plat::SysError::Success);
    return produced;
}

void ReadPublished(klc::CClientContext& ctx, klc::CCatalogue& cat, const std::string& folder,
                   const std::string& base) {
    klc::CUrl url;
    url.SetScheme(klc::SCHEME_HTTP);
    url.Parse(base);
    cat.ReadCatalogue(ctx, klc::InfFile::Load(folder + "/Products.INF"), url);
    for (size_t i = 0; i < cat.links.size(); ++i)
        for (size_t j = 0; j < cat.links[i].inf_files.size(); ++j) {
            std::string name = plat::file_name(cat.links[i].inf_files[j]);
            cat.ReadProduct(ctx, int32_t(i), int32_t(j), klc::InfFile::Load(folder + "/" + name));
        }
    for (auto& product : cat.products)
        for (auto& update : product.updates)
            update.selected = 1;
}

} // namespace engine_test
