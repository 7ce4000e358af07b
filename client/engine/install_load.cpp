// The update page's work: connect, download the pieces of every file to be
// installed, unpack archives, install, and record the update's success.
#include <algorithm>

#include "client/engine/catalogue_load.h"
#include "client/engine/decompress.h"
#include "client/engine/errors.h"
#include "client/engine/install.h"
#include "client/engine/page_transfer.h"
#include "client/engine/transfer.h"
#include "platform/base/strings.h"
#include "platform/sys/environment.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace klc {
CPageConnection& CUpdateInstaller::Connection() {
    if (!m_connection) m_connection = std::make_unique<CPageConnection>(m_ctx, m_host, m_transfer);
    return *m_connection;
}

int32_t CUpdateInstaller::FetchPieces(CFileEntry& e, std::vector<std::string>& locals, bool& wrong) {
    for (size_t k = 0; k < e.pieces.size(); ++k) {
        CUrl url = e.location;
        url.ApplyPart(e.pieces[k], APPLY_FILE);
        std::string local = plat::join_path(m_download_folder, e.pieces[k]);
        m_ctx.WriteLog(plat::strprintf("Loading block file %s ...", local.c_str()), 3);
        LogSourceUrl(m_ctx, url);
        int32_t expected = k < e.piece_sizes.size() ? e.piece_sizes[k] : 0;
        // A piece stops at its size: a server that sends or announces
        // more fails it before the disk fills.
        int32_t r = Connection().Download(url, local, DOWNLOAD_REMOTE_TIME, expected > 0 ? expected : -1);
        // A piece that is missing, or shorter or longer than the INF says,
        // would install a damaged file.
        if (r >= 1 && expected > 0 && r != expected) {
            m_ctx.WriteLog(plat::strprintf("... %s has %d bytes, expected %d.", local.c_str(), r, expected), 1);
            wrong = true;
            r = ERR_LOAD;
        }
        if (r < 1) {
            CTransferEngine::DiscardLocal(local);
            return r < 0 ? r : ERR_LOAD;
        }
        m_done += r;
        m_host.OnBytes(m_done, m_total);
        locals.push_back(local);
    }
    return 0;
}

int32_t CUpdateInstaller::Unpack(CFileEntry& e, const std::vector<std::string>& locals, bool& wrong,
                                 std::string& reason) {
    if (!plat::is_file(locals.front())) return ERR_NOT_FOUND;
    m_ctx.WriteLog(plat::strprintf("Decompress file %s ...", locals.front().c_str()), 3);
    CDecompressor unzip;
    unzip.SetProgress([this](uint64_t, uint64_t) { return !m_ctx.cancel_event.is_set(); });
    // Only the file the entry names is taken out, and no larger than the INF
    // and the archive say it is.
    unzip.SetEntry(e.file_name, e.size > 0 ? static_cast<uint64_t>(e.size) : 0);
    const std::string folder = UnpackFolderOf(e);
    if (folder != m_download_folder) plat::create_folder(folder);
    int32_t r = unzip.Decompress(locals, folder);
    m_ctx.last_system_error = unzip.LastError();
    if (r == ERR_NO_ZIP_LIBRARY) {
        // The pieces are not the archive the INF describes.
        wrong = true;
        reason = unzip.LastErrorText();
    }
    if (r >= 0) m_ctx.WriteLog("... Decompressed.", 2);
    return r;
}

bool CUpdateInstaller::DownloadUpdate(CProduct& product, CUpdate& update) {
    if (!Prepare(product, update)) {
        AskContinue(ERR_TARGET_INVALID);
        return false;
    }
    for (CFileEntry& e : update.files) {
        m_ctx.WriteLog(plat::strprintf("Loading update file %s ...", e.file_name.c_str()), 2);
        if (e.action == ACTION_REMOVE || e.action == ACTION_RENAME) {
            m_ctx.WriteLog("... Loading is skipped with action needs.", 2);
            continue;
        }
        if (!e.ShouldInstall(m_ctx)) {
            m_ctx.WriteLog("... Loading is skipped with comparison conditions.", 2);
            continue;
        }
        // A file whose pieces do not match the INF (a size, a damaged
        // archive) is discarded and downloaded once more before the update
        // fails: its pieces may have come from an earlier release.
        for (int attempt = 0;; ++attempt) {
            const int64_t done_before = m_done;
            std::vector<std::string> locals;
            bool wrong = false;
            std::string reason;
            int32_t r = FetchPieces(e, locals, wrong);
            if (r >= 0) m_ctx.WriteLog("... Loaded.", 2);
            if (r >= 0 && e.NeedsUnpack() && !locals.empty()) r = Unpack(e, locals, wrong, reason);
            if (r >= 0) break;
            if (wrong && attempt == 0) {
                for (const std::string& local : locals)
                    CTransferEngine::DiscardLocal(local);
                m_done = done_before;
                m_host.OnBytes(m_done, m_total);
                m_ctx.WriteLog(plat::strprintf("... %s does not match its description: it is discarded and "
                                               "loaded once more.",
                                               e.file_name.c_str()),
                               1);
                continue;
            }
            AskContinue(r, reason);
            return false;
        }
    }
    return true;
}

int32_t CUpdateInstaller::LoadUpdates(CCatalogue& catalogue, const CTransferSettings& settings,
                                      const CRequestInfo& request_template) {
    m_result = 0;
    m_stage = STAGE_FILE;
    if (!Connection().Open(settings, request_template)) {
        m_result = ERR_NO_SESSION;
        m_ctx.last_result = m_result;
        RemoveCatalogueFiles(catalogue);
        return 1;
    }

    m_total = 0;
    m_done = 0;
    for (CProduct& product : catalogue.products) {
        for (CUpdate& update : product.updates) {
            if (!update.selected) continue;
            plat::set_environment("PRODUCT", update.product_path);
            for (CFileEntry& e : update.files) {
                if (e.action == ACTION_REMOVE || e.action == ACTION_RENAME || !e.ShouldInstall(m_ctx))
                    continue;
                for (size_t k = 0; k < e.pieces.size(); ++k) {
                    m_ctx.WriteLog(plat::strprintf("Prepare to load file %s ...", e.pieces[k].c_str()), 3);
                    m_total += k < e.piece_sizes.size() ? e.piece_sizes[k] : 0;
                }
            }
        }
    }
    m_host.Notify(NOTIFY_TOTAL, std::to_string(m_total));

    bool stop = false;
    for (CProduct& product : catalogue.products) {
        for (CUpdate& update : product.updates) {
            bool installed = false;
            if (update.selected) {
                if (!Prepare(product, update)) {
                    AskContinue(ERR_TARGET_INVALID);
                    continue;
                }
                m_ctx.WriteLog(plat::strprintf("-> Loading UPDATE %s ...", update.name.c_str()), 2);
                // An update that would plant a start-up command or steer the
                // client is refused whole, before any of it is installed
                // (ApplyOnSuccess refuses such a path without writing it).
                if (size_t comma = update.on_success.find(',');
                    comma != std::string::npos &&
                    IsProtectedRegistryPath(update.on_success.substr(0, comma))) {
                    m_ctx.processed = true;
                    AskContinue(ApplyOnSuccess(update.on_success));
                    plat::remove_folder(m_download_folder);
                    if (m_stopped) {
                        stop = true;
                        break;
                    }
                    continue;
                }

                CUrl advert = update.location;
                advert.ApplyPart(update.advertisement, APPLY_FILE);
                // An update without an advertisement has nothing to load.
                if (!update.advertisement.empty()) {
                    m_ctx.WriteLog(
                        plat::strprintf("Loading ADVERT file %s ...", update.advertisement.c_str()), 2);
                    LogSourceUrl(m_ctx, advert);
                }
                if (int32_t r = Connection().Connect(advert); r < 0) {
                    AskContinue(r);
                    stop = true;
                    break;
                }
                if (auto name = plat::safe_file_name(advert.file_name);
                    name && !update.advertisement.empty()) {
                    std::string local = plat::join_path(m_download_folder, *name);
                    std::string text;
                    if (Connection().Download(advert, local, DOWNLOAD_CREATE, kInfFileMax) > 0)
                        plat::read_whole_file(local, text);
                    m_host.ShowAdvertisement(
                        text.empty() ? LoadClientString(IDS_NO_ADVERTISEMENT).value_or("") : text);
                    plat::delete_file(local);
                }
                for (const auto& line : update.advertisements) {
                    m_host.AddAdvertisementLine(line);
                    m_host.AddAdvertisementLine(" ");
                }
                if (Connection().Cancelled()) {
                    m_result = ERR_CANCELLED;
                    stop = true;
                    break;
                }

                if (DownloadUpdate(product, update)) {
                    m_yes_for_all = false;
                    bool go_on = InstallUpdate(product, update);
                    installed = go_on && !m_update_failed;
                    RestoreUpdate(product, update, !installed);
                }
                DeleteFolderFiles(m_download_folder, m_result < 0);
                plat::remove_folder(m_download_folder);
                if (m_stopped) {
                    stop = true;
                    break;
                }
            }
            // Only an update that was chosen and installed without error may
            // say so in the registry.
            if (installed && !update.on_success.empty()) {
                int32_t r = ApplyOnSuccess(update.on_success);
                if (r < 0) {
                    AskContinue(r);
                    break;
                }
                m_ctx.WriteLog("... OnSuccess.", 2);
            }
        }
        if (auto folder = m_ctx.UpdateFolder(m_ctx.StoreFolder(), &product.name, nullptr, false))
            plat::remove_folder(*folder);
        if (!m_backup_folder.empty() && m_scope.Refusal(plat::parent_path(m_backup_folder)).empty())
            plat::remove_folder(plat::parent_path(m_backup_folder));
        if (stop) break;
    }
    Connection().Close();
    // The run is over: what the catalogue page left for the product tree goes.
    RemoveCatalogueFiles(catalogue);
    if (m_result < 0) m_ctx.last_result = m_result;
    return stop ? 1 : 0;
}

} // namespace klc
