// Reading the catalogue and the product INF files into links, products,
// updates and file entries.
#include <algorithm>
#include <unordered_map>
#include <utility>

#include "client/engine/errors.h"
#include "client/engine/product.h"
#include "platform/base/strings.h"
#include "platform/sys/environment.h"
#include "platform/sys/paths.h"

namespace klc {
namespace {

constexpr const char* kCommon = "Common";

std::string section_name(const char* prefix, int32_t n) {
    return plat::strprintf("%s%d", prefix, n);
}

// A file name from an INF: group items may carry the folder they came from
// ("sub\file.dll"); only the last element names the file. Anything that
// climbs, is absolute or names a drive is refused.
std::optional<std::string> entry_file_name(std::string_view name) {
    std::string text = plat::trim(name);
    if (text.empty() || plat::is_absolute_path(text) || text.find(':') != std::string::npos)
        return std::nullopt;
    for (const std::string& part : plat::split(plat::native_path(text), '/'))
        if (plat::trim(part) == "..") return std::nullopt;
    return plat::safe_file_name(plat::file_name(text));
}

// A document read over the network may name only network locations: it must
// never turn the client to the user's own files. Local locations are for the
// addresses the user gave (the server list, the command line) and the files
// found there.
bool location_allowed(CClientContext& ctx, const InfFile& inf, const CUrl& url) {
    const int32_t scheme = url.SchemeCode();
    if (!inf.FromNetwork() || scheme == SCHEME_HTTP || scheme == SCHEME_FTP) return true;
    ctx.WriteLog(plat::strprintf("... location %s is refused.", url.Format(URL_ALL & ~URL_PASSWORD).c_str()),
                 1);
    return false;
}

// Where a file named by a document lies.
CUrl file_location(const CUrl& base, const std::string& name) {
    CUrl url = base;
    url.ApplyPart(name, APPLY_FILE);
    return url;
}

// Entries of one file name for one destination are one file.
std::string entry_key(const CFileEntry& e) {
    return plat::to_lower(e.file_name) + '\0' + e.destination;
}

} // namespace

std::string CatalogueLocalName(const std::string& download_folder) {
    return plat::join_path(download_folder, "PRODUCTS.INF");
}

std::string ProductInfLocalName(const std::string& download_folder, int32_t link_index, int32_t file_index) {
    return plat::join_path(download_folder, plat::strprintf("%dPRODFILE%d.INF", link_index, file_index));
}

bool CFileEntry::ShouldInstall(const CClientContext& ctx) {
    if (decision == 0 || decision == 1) return decision == 1;
    InstallTest t;
    t.destination = destination;
    t.file_name = file_name;
    t.flags = compare_flags;
    t.date = date;
    t.size = size;
    t.version = version;
    decision = DecideInstall(ctx, t) ? 1 : 0;
    return decision == 1;
}

bool CFileEntry::NeedsUnpack() const {
    if (compress != 0 || pieces.size() > 1) return true;
    return !pieces.empty() && plat::iequals(plat::file_extension(pieces.front()), "zip");
}

int32_t CUpdate::ReadFiles(CClientContext& ctx, const InfFile& inf, const CUrl& base) {
    std::string default_destination;
    EvaluateDestination(ctx, inf, kCommon, default_destination);
    plat::set_environment("PRODUCT", product_path);

    // The entries already read, by name and destination, so that a large
    // INF costs the same per entry; replaced entries are dropped at the end.
    std::unordered_map<std::string, size_t> known;
    std::vector<bool> replaced(files.size(), false);
    for (size_t i = 0; i < files.size(); ++i)
        known.try_emplace(entry_key(files[i]), i);

    int32_t added = 0;
    for (int32_t n = 1;; ++n) {
        std::string section = section_name("File", n);
        auto raw_name = inf.Get(section, "FileName");
        if (!raw_name) break;

        CFileEntry e;
        auto name = entry_file_name(*raw_name);
        if (!name) {
            ctx.WriteLog(plat::strprintf("... file name %s is refused.", raw_name->c_str()), 1);
            read_error = ERR_SOURCE_INVALID;
            continue;
        }
        e.file_name = *name;
        e.location = base;
        if (auto source_path = inf.Get(section, "SourcePath")) e.location.ApplyPart(*source_path, APPLY_PATH);
        e.date_text = inf.GetString(section, "Date");
        e.date = ParseDate(e.date_text, true);
        e.size = inf.GetInt(section, "Size", 0);
        // A negative size would pass over every size check.
        if (e.size < 0) {
            ctx.WriteLog(plat::strprintf("... size %d of %s is refused.", e.size, e.file_name.c_str()), 1);
            read_error = ERR_SOURCE_INVALID;
            continue;
        }
        if (!location_allowed(ctx, inf, e.location)) {
            read_error = ERR_BAD_URL;
            continue;
        }
        e.version = ParseVersion(inf.GetString(section, "Version"));
        if (auto build = inf.Get(section, "Build")) e.version = ParseBuild(*build, e.version);
        e.destination = default_destination;
        EvaluateDestination(ctx, inf, section, e.destination);
        e.action = inf.GetInt(section, "Action", ACTION_COPY);
        std::optional<int32_t> copy_flags, compare;
        if (inf.Get(section, "CopyFlags")) copy_flags = inf.GetInt(section, "CopyFlags", cmp::Always);
        if (inf.Get(section, "Compare")) compare = inf.GetInt(section, "Compare", -1);
        e.compare_flags = CompareFlags(copy_flags, compare);
        e.compress = inf.GetInt(section, "Compress", 0);
        e.backup = inf.GetInt(section, "Backup", 1);

        int32_t refused = 0;
        for (int32_t k = 1;; ++k) {
            auto piece = inf.Get(section, section_name("SourceFile", k));
            if (!piece) {
                if (k == 1)
                    piece = e.file_name;
                else
                    break;
            }
            auto safe = plat::safe_file_name(*piece);
            if (!safe) {
                ctx.WriteLog(plat::strprintf("... piece name %s is refused.", piece->c_str()), 1);
                refused = ERR_SOURCE_INVALID;
                break;
            }
            int32_t piece_size = inf.GetNumber(section, section_name("SourceSize", k), e.size);
            if (piece_size < 0) {
                ctx.WriteLog(
                    plat::strprintf("... size %d of piece %s is refused.", piece_size, safe->c_str()), 1);
                refused = ERR_SOURCE_INVALID;
                break;
            }
            if (!location_allowed(ctx, inf, file_location(e.location, *safe))) {
                refused = ERR_BAD_URL;
                break;
            }
            e.pieces.push_back(*safe);
            e.piece_sizes.push_back(piece_size);
        }
        if (refused) {
            read_error = refused;
            continue;
        }

        // The same file for the same destination: the entry that is to be
        // installed stays. Entries for different destinations are different
        // files and both stay.
        std::string key = entry_key(e);
        auto same = known.find(key);
        if (same != known.end()) {
            if (files[same->second].ShouldInstall(ctx)) continue;
            replaced[same->second] = true;
        }
        known[key] = files.size();
        files.push_back(std::move(e));
        replaced.push_back(false);
        ++added;
    }
    if (std::find(replaced.begin(), replaced.end(), true) != replaced.end()) {
        size_t kept = 0;
        for (size_t i = 0; i < files.size(); ++i)
            if (!replaced[i]) files[kept++] = std::move(files[i]);
        files.resize(kept);
    }
    return added;
}

bool CUpdate::Read(CClientContext& ctx, const ProductState& link_state, int32_t file_index,
                   const InfFile& inf, const CUrl& link_location) {
    int32_t v = inf.GetInt(kCommon, "INFVersion", 0);
    if (v < 0 || v < inf_version) return !files.empty();

    ProductState state = link_state;
    state.criteria_met = 1;
    ctx.WriteLog(plat::strprintf("Analyse update %s ...", name.c_str()), 3);
    if (!EvaluateCriteria(ctx, inf, kCommon, state)) {
        ctx.WriteLog("... skipped with installation criteria.", 3);
        return !files.empty();
    }

    CUrl where = link_location;
    if (auto server = inf.Get(kCommon, "Server")) where.ApplyPart(*server, APPLY_SERVER);
    if (auto path = inf.Get(kCommon, "Path")) where.ApplyPart(*path, APPLY_PATH);
    bool allowed = location_allowed(ctx, inf, where);
    for (const char* key : {"Icon", "Advertisment", "WhatsNew"})
        if (auto name = inf.Get(kCommon, key); allowed && name && !name->empty())
            allowed = location_allowed(ctx, inf, file_location(where, *name));
    if (!allowed) {
        read_error = ERR_BAD_URL;
        return !files.empty();
    }
    last_inf_index = std::max(last_inf_index, file_index);

    if (v > inf_version) {
        inf_version = v;
        location = where;
        manufacturer = inf.GetString(kCommon, "Manufacturer", manufacturer);
        description = inf.GetString(kCommon, "Description", description);
        criteria_message = inf.GetString(kCommon, "CriteriaMsg", criteria_message);
        on_success = inf.GetString(kCommon, "OnSuccess", on_success);
        advertisements.clear();
        for (int32_t k = 1;; ++k) {
            auto line = inf.Get(kCommon, section_name("Advertisment", k));
            if (!line) break;
            advertisements.push_back(*line);
        }
        icon = inf.GetString(kCommon, "Icon");
        advertisement = inf.GetString(kCommon, "Advertisment");
        whats_new = inf.GetString(kCommon, "WhatsNew");
        files.clear();
        product_path = state.product_path;
        product_path_local = state.product_path_local;
        installed = state.installed;
        version = state.version;
        criteria_met = state.criteria_met;
    }
    ReadFiles(ctx, inf, location);
    return !files.empty();
}

bool CUpdate::HasFilesToInstall(CClientContext& ctx) {
    plat::set_environment("PRODUCT", product_path);
    bool any = false;
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        if (it->ShouldInstall(ctx)) any = true;
    return any;
}

bool CProduct::ReadUpdate(CClientContext& ctx, const ProductState& link_state, int32_t file_index,
                          const InfFile& inf, const CUrl& link_location) {
    std::string update_name = inf.GetString(kCommon, "Update", "Main Update");
    auto it =
        std::find_if(updates.begin(), updates.end(), [&](const CUpdate& u) { return u.name == update_name; });
    if (it != updates.end()) {
        bool has = it->Read(ctx, link_state, file_index, inf, link_location);
        if (it->read_error) read_error = std::exchange(it->read_error, 0);
        if (!has) updates.erase(it);
        return has;
    }
    CUpdate update;
    update.name = update_name;
    bool has = update.Read(ctx, link_state, file_index, inf, link_location);
    if (update.read_error) read_error = std::exchange(update.read_error, 0);
    if (!has) return false;
    updates.push_back(std::move(update));
    return true;
}

int32_t CCatalogue::ReadLink(CClientContext& ctx, const InfFile& inf, int32_t n, const CUrl& base,
                             CProductLink& link) {
    link.location = base;
    if (auto server = inf.Get(kCommon, "Server")) link.location.ApplyPart(*server, APPLY_SERVER);
    if (auto path = inf.Get(kCommon, "Path")) link.location.ApplyPart(*path, APPLY_PATH);

    std::string section = section_name("Product", n);
    auto name = inf.Get(section, "Name");
    if (!name) return ERR_UNDEFINED_PRODUCT;
    link.name = *name;
    ctx.WriteLog(plat::strprintf("Loading link %s ...", link.name.c_str()), 2);

    link.state = ProductState{ctx.product_folder, 1, 0, 1};
    if (!EvaluateCriteria(ctx, inf, section, link.state)) return ERR_LINK_CRITERIA;
    link.advertisement = inf.GetString(section, "Advertisment");

    link.inf_files.clear();
    if (auto file = inf.Get(section, "File")) link.inf_files.push_back(*file);
    for (int32_t k = 1;; ++k) {
        auto file = inf.Get(section, section_name("File", k));
        if (!file) break;
        link.inf_files.push_back(*file);
    }
    for (const std::string& file : link.inf_files)
        if (!location_allowed(ctx, inf, file_location(link.location, file))) {
            // A refused link is a failure of the run, not a link passed over.
            ctx.last_result = ERR_BAD_URL;
            return ERR_BAD_URL;
        }
    return link.inf_files.empty() ? ERR_EMPTY_LINK : 0;
}

int32_t CCatalogue::ReadCatalogue(CClientContext& ctx, const InfFile& inf, const CUrl& base) {
    auto add_line = [&](const std::string& line) {
        if (line.empty()) return;
        advertisement_text += line;
        advertisement_text += "\r\n";
    };
    add_line(inf.GetString(kCommon, "Advertisment"));
    int32_t added = 0;
    for (int32_t n = 1;; ++n) {
        CProductLink link;
        int32_t r = ReadLink(ctx, inf, n, base, link);
        if (r == ERR_UNDEFINED_PRODUCT) break;
        if (r < 0) {
            result = r;
            ctx.WriteLog(ErrorText(r), 1);
            continue;
        }
        add_line(link.advertisement);
        links.push_back(std::move(link));
        ++added;
    }
    return added;
}

bool CCatalogue::ReadProduct(CClientContext& ctx, int32_t link_index, int32_t file_index,
                             const InfFile& inf) {
    if (link_index < 0 || static_cast<size_t>(link_index) >= links.size()) return false;
    const CProductLink& link = links[static_cast<size_t>(link_index)];
    std::string name = inf.GetString(kCommon, "Name", link.name);
    // Product and update names become folder names of the downloads.
    std::string update_name = inf.GetString(kCommon, "Update", "Main Update");
    if (!plat::safe_file_name(name) || !plat::safe_file_name(update_name)) {
        ctx.WriteLog(plat::strprintf("... product %s, update %s: the name is refused.", name.c_str(),
                                     update_name.c_str()),
                     1);
        result = ERR_SOURCE_INVALID;
        ctx.last_result = result;
        return false;
    }
    auto it =
        std::find_if(products.begin(), products.end(), [&](const CProduct& p) { return p.name == name; });
    bool has;
    if (it != products.end()) {
        has = it->ReadUpdate(ctx, link.state, file_index, inf, link.location);
        if (it->read_error) result = ctx.last_result = std::exchange(it->read_error, 0);
    } else {
        CProduct product;
        product.name = name;
        has = product.ReadUpdate(ctx, link.state, file_index, inf, link.location);
        // An entry refused while reading fails the run, whatever else installs.
        if (product.read_error) result = ctx.last_result = std::exchange(product.read_error, 0);
        if (has) products.push_back(std::move(product));
    }
    return has;
}

} // namespace klc
