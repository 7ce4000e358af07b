// The catalogue page's work: download the catalogue from the chosen server,
// then every product INF it links to, then each update's icon and news.
#include "client/engine/catalogue_load.h"

#include "client/engine/errors.h"
#include "client/engine/page_transfer.h"
#include "platform/base/strings.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace klc {
namespace {

bool stops_all(int32_t r) {
    return r == ERR_CANCELLED || r == ERR_NO_INTERNET;
}

// Makes `folder` and the missing folders above it up to `base`, noting the
// ones it made.
void make_folders(CCatalogue& catalogue, const std::string& base, const std::string& folder) {
    if (folder.size() <= base.size() || plat::is_folder(folder)) return;
    make_folders(catalogue, base, plat::parent_path(folder));
    if (plat::create_folder(folder, false) == plat::SysError::Success)
        catalogue.made_folders.push_back(folder);
}

// Removes the folders made for the product tree that hold nothing.
void remove_empty_folders(CCatalogue& catalogue) {
    std::vector<std::string>& made = catalogue.made_folders;
    for (size_t i = made.size(); i-- > 0;)
        if (!plat::is_folder(made[i]) || plat::remove_folder(made[i]) == plat::SysError::Success)
            made.erase(made.begin() + static_cast<std::ptrdiff_t>(i));
}

// An INF file as downloaded from `url`.
InfFile LoadInf(const std::string& local, const CUrl& url) {
    InfFile inf = InfFile::Load(local);
    const int32_t scheme = url.SchemeCode();
    inf.SetFromNetwork(scheme == SCHEME_HTTP || scheme == SCHEME_FTP);
    return inf;
}

} // namespace

int32_t LoadCatalogue(CClientContext& ctx, IClientHost& host, CCatalogue& catalogue,
                      const CTransferSettings& settings, const CRequestInfo& request_template,
                      CTransferEngine* engine) {
    catalogue.result = 0;
    ctx.WriteLog("Begin loading information.", 1);
    ctx.RecoverInterruptedRun();
    CPageConnection connection(ctx, host, engine);
    auto fail = [&](int32_t code) {
        catalogue.result = code;
        ctx.last_result = code;
        ctx.WriteLog(ComposeErrorMessage(code, STAGE_PRODUCT_INF, ctx.last_system_error).log, 1);
        return 1;
    };
    if (!connection.Open(settings, request_template)) return fail(ERR_NO_SESSION);

    CUrl url;
    url.SetScheme(SCHEME_HTTP);
    url.Parse(ctx.current_server.url, URL_ALL);
    if (!ctx.current_server.user_name.empty()) {
        url.user_name = ctx.current_server.user_name;
        url.password = ctx.current_server.password;
    }
    if (int32_t r = connection.Connect(url); r < 0) return fail(r);

    // The catalogue and the product INF files have fixed names: they go into
    // this run's own folder, which no other client or user can reach.
    auto run_folder = ctx.OpenRunFolder();
    if (!run_folder) return fail(ERR_TARGET_INVALID);
    const std::string folder = *run_folder;

    std::string local = CatalogueLocalName(folder);
    ctx.WriteLog(plat::strprintf("Loading INF file %s ...", local.c_str()), 2);
    LogSourceUrl(ctx, url);
    int32_t got = connection.Download(url, local, DOWNLOAD_CREATE | DOWNLOAD_REMOTE_TIME, kInfFileMax);
    if (got > 0) {
        int32_t links = catalogue.ReadCatalogue(ctx, LoadInf(local, url), url);
        ctx.WriteLog(plat::strprintf("%d links retrieved", links), 3);
    }
    plat::delete_file(local);
    if (got <= 0) return fail(got < 0 ? got : ERR_LOAD);

    bool stopped = false;
    for (size_t i = 0; i < catalogue.links.size() && !stopped; ++i) {
        for (size_t j = 0; j < catalogue.links[i].inf_files.size() && !stopped; ++j) {
            std::string inf_local =
                ProductInfLocalName(folder, static_cast<int32_t>(i), static_cast<int32_t>(j));
            ctx.WriteLog(plat::strprintf("Loading PRODUCT file %s ...", inf_local.c_str()), 2);
            CUrl inf_url = catalogue.links[i].location;
            inf_url.ApplyPart(catalogue.links[i].inf_files[j], APPLY_FILE);
            LogSourceUrl(ctx, inf_url);
            int32_t r =
                connection.Download(inf_url, inf_local, DOWNLOAD_CREATE | DOWNLOAD_REMOTE_TIME, kInfFileMax);
            if (r > 0) {
                catalogue.ReadProduct(ctx, static_cast<int32_t>(i), static_cast<int32_t>(j),
                                      LoadInf(inf_local, inf_url));
            } else {
                int32_t code = r < 0 ? r : ERR_LOAD;
                catalogue.result = code;
                ctx.last_result = code;
                ErrorMessage msg = ComposeErrorMessage(code, STAGE_UPDATE_INF, ctx.last_system_error);
                ctx.WriteLog(msg.log, 1);
                if (stops_all(code))
                    stopped = true;
                else if (!ctx.automatic_mode &&
                         !host.AskContinue(code, msg.message + "\n" +
                                                     LoadClientString(IDS_ASK_TERMINATE).value_or("")))
                    stopped = true;
            }
            plat::delete_file(inf_local);
        }
    }

    // Icons and news of each update; their failures are not reported.
    for (CProduct& product : catalogue.products) {
        if (stopped) break;
        for (CUpdate& update : product.updates) {
            // The folder is made only for a file that goes into it.
            auto update_folder = ctx.UpdateFolder(std::nullopt, &product.name, &update.name, false);
            if (!update_folder) continue;
            struct Extra {
                const std::string& name;
                const char* what;
                const char* local;
            } extras[] = {{update.icon, "ICON", "Update.ico"}, {update.whats_new, "NEWS", "WhatsNew.txt"}};
            for (const Extra& x : extras) {
                if (x.name.empty() || stopped) continue;
                CUrl extra_url = update.location;
                extra_url.ApplyPart(x.name, APPLY_FILE);
                ctx.WriteLog(plat::strprintf("Loading %s file %s ...", x.what, x.name.c_str()), 2);
                LogSourceUrl(ctx, extra_url);
                make_folders(catalogue, folder, *update_folder);
                std::string extra_local = plat::join_path(*update_folder, x.local);
                int32_t r = connection.Download(extra_url, extra_local,
                                                DOWNLOAD_CREATE | DOWNLOAD_REMOTE_TIME, kInfFileMax);
                if (r > 0)
                    catalogue.made_files.push_back(extra_local);
                else
                    plat::delete_file(extra_local);
                if (stops_all(r)) stopped = true;
                if (&x.name == &update.icon) {
                    if (r > 0)
                        if (int32_t image = host.LoadUpdateIcon(extra_local); image >= 0)
                            update.image_index = image;
                    plat::delete_file(extra_local);
                }
            }
        }
    }
    remove_empty_folders(catalogue);
    connection.Close();
    return stopped ? 1 : 0;
}

void RemoveCatalogueFiles(CCatalogue& catalogue) {
    for (const std::string& file : catalogue.made_files)
        plat::delete_file(file);
    catalogue.made_files.clear();
    remove_empty_folders(catalogue);
    // A folder that still holds something (files waiting for the next start)
    // is no longer this page's to remove.
    catalogue.made_folders.clear();
}

} // namespace klc
