// Installing an update: every file's action with a backup first, and a
// rollback that puts back every file the update touched when a step fails.
#include "client/engine/install.h"

#include <algorithm>
#include <filesystem>

#include "client/engine/errors.h"
#include "client/engine/page_transfer.h"
#include "platform/com/loader.h"
#include "platform/base/strings.h"
#include "platform/config/registry.h"
#include "platform/sys/environment.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"
#include "platform/sys/process.h"

namespace klc {

struct CUpdateInstaller::Paths {
    std::string source;
    std::string location;
    std::string target;
    std::string backup;
    std::string rename_source;
    std::string rename_backup;
};

namespace {

std::string text_of(int32_t id) {
    return LoadClientString(id).value_or(std::string());
}

plat::SysError clear_read_only(const std::string& path) {
    auto attributes = plat::get_attributes(path);
    if (!attributes || !(*attributes & plat::attr::ReadOnly)) return plat::SysError::Success;
    return plat::set_attributes(path, *attributes & ~plat::attr::ReadOnly);
}

bool is_read_only(const std::string& path) {
    auto attributes = plat::get_attributes(path);
    return attributes && (*attributes & plat::attr::ReadOnly);
}

// What stands at a path, without following a link.
std::filesystem::file_type entry_type(const std::string& path) {
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type();
}

bool absent(std::filesystem::file_type type) {
    return type == std::filesystem::file_type::not_found || type == std::filesystem::file_type::none;
}

} // namespace

CUpdateInstaller::CUpdateInstaller(CClientContext& ctx, IClientHost& host) : m_ctx(ctx), m_host(host) {}

CUpdateInstaller::~CUpdateInstaller() = default;

int32_t CUpdateInstaller::Fault(InstallStep step, const std::string& path) {
    return m_fault ? m_fault(step, path) : 0;
}

int32_t CUpdateInstaller::Fail(int32_t code, int32_t sys_error) {
    m_ctx.last_system_error = sys_error;
    return code;
}

bool CUpdateInstaller::AskContinue(int32_t code, const std::string& detail) {
    if (code >= 0) return true;
    m_result = code;
    m_ctx.last_result = code;
    ErrorMessage msg = ComposeErrorMessage(code, m_stage, m_ctx.last_system_error);
    m_ctx.WriteLog(detail.empty() ? msg.log : msg.log + " " + detail, 1);
    if (code == ERR_CANCELLED) m_stopped = true; // a cancel ends the whole run
    if (m_stopped) return false;
    if (m_ctx.automatic_mode) return true;
    if (!m_host.AskContinue(code, msg.message + "\n" + text_of(IDS_ASK_TERMINATE))) {
        m_stopped = true;
        return false;
    }
    return true;
}

bool CUpdateInstaller::PolicyBackup(const CFileEntry& e) const {
    return e.backup > 1 || (e.backup > 0 && m_ctx.backup_mode > 0);
}

bool CUpdateInstaller::PolicyDeletesBackup(const CFileEntry& e) const {
    return (m_ctx.backup_mode == 1 && e.backup == 1) || (m_ctx.backup_mode == 0 && e.backup == 2);
}

bool CUpdateInstaller::Prepare(CProduct& product, CUpdate& update) {
    // The backup folder is usually "%PRODUCT%": the update's own product path.
    plat::set_environment("PRODUCT", update.product_path);
    // Pieces lie in the machine's own folder, where the next run may resume
    // them once the server proves they are still the same files.
    auto download = m_ctx.UpdateFolder(m_ctx.StoreFolder(), &product.name, &update.name, true);
    auto backup = m_ctx.UpdateFolder(m_ctx.backup_folder, &product.name, &update.name, false);
    if (!download || !backup) return false;
    m_download_folder = *download;
    // The same folder with its drive and ".." resolved on this machine.
    m_backup_folder = plat::join_path(
        plat::join_path(ResolveInstallPath(m_ctx.ExpandPath(m_ctx.backup_folder), m_ctx.product_folder),
                        plat::file_name(plat::parent_path(*backup))),
        plat::file_name(*backup));
    m_scope = InstallScope::ForUpdate(m_ctx, update);
    m_rollback_folder = m_download_folder + ".rollback";
    m_touched.clear();
    m_registered.clear();
    m_reboot_sources.clear();
    return true;
}

std::string CUpdateInstaller::UnpackFolderOf(const CFileEntry& e) const {
    const std::string base = e.pieces.empty() ? std::string() : plat::file_stem(e.pieces.front());
    return base.empty() ? m_download_folder : plat::join_path(m_download_folder, base);
}

CUpdateInstaller::Paths CUpdateInstaller::PathsOf(const CFileEntry& e) const {
    Paths p;
    if (e.pieces.empty())
        p.source = plat::join_path(m_download_folder, e.file_name);
    else if (e.NeedsUnpack())
        p.source = plat::join_path(UnpackFolderOf(e), e.file_name);
    else
        p.source = plat::join_path(m_download_folder, e.pieces.front());
    p.location = ResolveInstallPath(m_ctx.ExpandPath(e.destination.empty() ? "%PRODUCT%" : e.destination),
                                    m_ctx.product_folder);
    p.target = plat::join_path(p.location, e.file_name);
    p.backup = plat::join_path(m_backup_folder, e.file_name);
    if (!e.pieces.empty()) {
        p.rename_source = plat::join_path(p.location, e.pieces.front());
        p.rename_backup = plat::join_path(m_backup_folder, e.pieces.front());
    }
    return p;
}

// --- single operations ---------------------------------------------------------

int32_t CUpdateInstaller::CopyFileWithRetry(const std::string& source, const std::string& target) {
    for (;;) {
        std::string text = plat::strprintf("File %s ", target.c_str());
        if (is_read_only(target) && !m_ctx.automatic_mode && !m_stopped &&
            m_host.AskOverwriteReadOnly(text + text_of(IDS_READ_ONLY)))
            clear_read_only(target);

        int32_t injected = Fault(STEP_COPY, target);
        m_ctx.BeginCopy(target);
        plat::SysError e =
            injected ? static_cast<plat::SysError>(injected) : plat::copy_file(source, target, true);
        m_ctx.EndCopy(target);
        if (e == plat::SysError::Success) return 0;
        m_ctx.last_system_error = static_cast<int32_t>(e);
        if (e != plat::SysError::SharingViolation && static_cast<int32_t>(e) != 33) return ERR_COPY;

        text += text_of(IDS_FILE_IN_USE);
        int32_t answer = m_stopped ? IN_USE_SKIP : m_host.AskFileInUse(text);
        switch (answer) {
        case IN_USE_SKIP:
            return 1;
        case IN_USE_COPY_ON_RESTART: {
            // A file that could not be left for restart was not installed at
            // all: that is a failure, not a skip.
            int32_t r = RegisterCopyOnReboot(source, target);
            return r < 0 ? r : 1;
        }
        case IN_USE_RETRY:
            continue;
        default:
            m_stopped = true;
            m_result = ERR_COPY;
            m_ctx.last_result = ERR_COPY;
            m_ctx.WriteLog(ComposeErrorMessage(ERR_COPY, m_stage, m_ctx.last_system_error).log, 1);
            return ERR_COPY;
        }
    }
}

int32_t CUpdateInstaller::BackupFile(const std::string& file, const std::string& backup) {
    std::string text = plat::strprintf("File %s ", backup.c_str());
    if (plat::path_exists(backup) && !m_yes_for_all) {
        if (m_ctx.automatic_mode || m_stopped) return 1;
        switch (m_host.AskBackupExists(text + text_of(IDS_BACKUP_EXISTS))) {
        case OVERWRITE_NO:
            return 1;
        case OVERWRITE_TERMINATE:
            m_stopped = true;
            m_result = ERR_BACKUP;
            m_ctx.last_result = ERR_BACKUP;
            m_ctx.WriteLog(ComposeErrorMessage(ERR_BACKUP, m_stage, m_ctx.last_system_error).log, 1);
            return ERR_BACKUP;
        case OVERWRITE_YES_FOR_ALL:
            m_yes_for_all = true;
            break;
        default:
            break;
        }
    }
    plat::create_folder(plat::parent_path(backup), true);
    clear_read_only(backup);
    int32_t injected = Fault(STEP_BACKUP, backup);
    // A file another process holds is read all the same: its copy on
    // restart replaces it later, and the backup is all that keeps it.
    m_ctx.BeginCopy(backup);
    plat::SysError e =
        injected ? static_cast<plat::SysError>(injected) : plat::copy_held_file(file, backup, true);
    m_ctx.EndCopy(backup);
    if (e != plat::SysError::Success) return Fail(ERR_BACKUP, static_cast<int32_t>(e));
    return 0;
}

int32_t CUpdateInstaller::RegisterCopyOnReboot(const std::string& source, const std::string& target) {
    std::string folder = plat::native_path(m_ctx.ExpandPath());
    plat::create_folder(folder, true);
    CopyOnRestartBatch batch(plat::join_path(folder, "KlClient.bat"));
    batch.Load();
    batch.Add(source, target);
    int32_t e = batch.Save();
    if (e != 0) return Fail(ERR_SKIP, e);
    int32_t sys = 0;
    if (!CClientContext::WriteRegistryText(kRunOncePath, "/bin/sh \"" + batch.Path() + "\"", &sys))
        return Fail(ERR_SKIP, sys);
    m_ctx.reboot_pending = true;
    m_reboot_sources.push_back(source);
    auto attributes = plat::get_attributes(source);
    plat::set_attributes(source, attributes.value_or(0) | plat::attr::Hidden);
    return 0;
}

int32_t CUpdateInstaller::RunProgram(const std::vector<std::string>& argv, const std::string& folder,
                                     bool wait) {
    if (argv.empty() || argv.front().empty())
        return Fail(ERR_EXECUTE, static_cast<int32_t>(plat::SysError::InvalidParameter));
    if (int32_t injected = Fault(STEP_EXECUTE, argv.front())) return Fail(ERR_EXECUTE, injected);
    plat::Process process;
    plat::StartOptions options;
    options.working_folder = folder;
    plat::SysError e = process.start(argv, options);
    if (e != plat::SysError::Success) return Fail(ERR_EXECUTE, static_cast<int32_t>(e));
    if (wait) process.wait(plat::kInfinite, &m_ctx.cancel_event);
    return 0;
}

int32_t CUpdateInstaller::SelfRegister(const std::string& file) {
    if (int32_t injected = Fault(STEP_REGISTER, file)) return Fail(ERR_REGISTER, injected);
    // Only a module that says it registers itself is loaded at all.
    CFileVersionInfo info;
    bool declares = false;
    if (info.Load(file) && !info.Translations().empty()) {
        auto raw = plat::read_version_info(file);
        declares = raw && raw->query_string("OLESelfRegister", info.Translations().front()).has_value();
    }
    if (!declares) return Fail(ERR_REGISTER, static_cast<int32_t>(plat::SysError::InvalidData));
    // The store before and after tells a rollback what the registration
    // wrote, also when it failed halfway.
    Registration registration{file, RegistryImage::Take(), {}};
    // The module stays loaded: its registration may have left work behind (a
    // thread, a handler, state it still points to) that must not lose its code.
    plat::HRESULT hr = plat::call_library_registration(file, false);
    if (hr == plat::CO_E_DLLNOTFOUND) return Fail(ERR_REGISTER, 193);
    if (hr == plat::CO_E_ERRORINDLL) return Fail(ERR_REGISTER, 127);
    registration.after = RegistryImage::Take();
    m_registered.push_back(std::move(registration));
    if (hr != 0) return Fail(ERR_REGISTER, hr);
    return 0;
}

int32_t CUpdateInstaller::MoveFileTo(const std::string& existing, const std::string& target) {
    int32_t injected = Fault(STEP_RENAME, target);
    plat::SysError e =
        injected ? static_cast<plat::SysError>(injected) : plat::move_file(existing, target, true);
    if (e != plat::SysError::Success) return Fail(ERR_RENAME, static_cast<int32_t>(e));
    return 0;
}

int32_t CUpdateInstaller::ApplyOnSuccess(const std::string& text) {
    size_t comma = text.find(',');
    if (comma == std::string::npos) return ERR_ON_SUCCESS;
    if (IsProtectedRegistryPath(text.substr(0, comma))) {
        m_ctx.WriteLog(plat::strprintf("... %s starts programs or steers the client: refused.",
                                       text.substr(0, comma).c_str()),
                       1);
        return Fail(ERR_ON_SUCCESS, static_cast<int32_t>(plat::SysError::AccessDenied));
    }
    int32_t sys = 0;
    if (!CClientContext::WriteRegistryText(text.substr(0, comma), text.substr(comma + 1), &sys))
        return Fail(ERR_ON_SUCCESS, sys);
    return 0;
}

bool CUpdateInstaller::DeleteFolderFiles(const std::string& folder, bool ask) {
    if (ask && !m_host.AskDeleteTempFiles()) return false;
    auto entries = plat::list_folder(folder);
    if (!entries) return false;
    for (const auto& entry : *entries) {
        std::string path = plat::join_path(folder, entry.name);
        clear_read_only(path);
        if (entry.attributes & plat::attr::Hidden) {
            // Files waiting for copy on restart stay where the batch finds them.
            plat::set_attributes(path, entry.attributes & ~(plat::attr::ReadOnly | plat::attr::Hidden));
            continue;
        }
        if (entry.is_folder()) {
            // An archive's unpack folder: what waits for a restart stays.
            DeleteFolderFiles(path, false);
            plat::remove_folder(path);
        } else
            plat::delete_file(path);
    }
    return true;
}

// --- installation ---------------------------------------------------------------

int32_t CUpdateInstaller::Remember(const std::string& path, const std::string& policy_backup) {
    for (const auto& t : m_touched)
        if (t.path == path) return 0;
    Touched t;
    t.path = path;
    t.existed = plat::is_file(path);
    if (t.existed) {
        if (!policy_backup.empty()) {
            t.saved = policy_backup;
        } else {
            // Without a backup of its own the update still keeps a copy, so a
            // failed update never leaves a file half-replaced.
            plat::create_folder(m_rollback_folder, true);
            t.saved = plat::join_path(m_rollback_folder, std::to_string(m_touched.size()));
            plat::SysError e = plat::copy_file(path, t.saved, true);
            // A file in use cannot be saved, but it cannot be replaced either:
            // its copy is skipped or left for the next start.
            if (e == plat::SysError::SharingViolation)
                t.saved.clear();
            else if (e != plat::SysError::Success)
                return Fail(ERR_BACKUP, static_cast<int32_t>(e));
        }
    }
    m_touched.push_back(std::move(t));
    return 0;
}

void CUpdateInstaller::MarkChanged(const std::string& path) {
    for (Touched& t : m_touched)
        if (t.path == path) t.changed = true;
}

int32_t CUpdateInstaller::CheckTargets(CUpdate& update) {
    using plat::SysError;
    using Type = std::filesystem::file_type;
    auto refuse = [&](const std::string& path, int32_t code) {
        m_ctx.WriteLog(plat::strprintf("... %s is not a file.", path.c_str()), 1);
        return Fail(code, static_cast<int32_t>(SysError::AccessDenied));
    };
    for (CFileEntry& e : update.files) {
        if (!e.ShouldInstall(m_ctx)) continue;
        Paths p = PathsOf(e);
        switch (e.action) {
        case ACTION_COPY:
        case ACTION_COPY_REGISTER:
        case ACTION_COPY_RUN_WAIT:
        case ACTION_COPY_RUN:
        case ACTION_COPY_RUN_DELETE:
            if (Type t = entry_type(p.target); !absent(t) && t != Type::regular)
                return refuse(p.target, ERR_COPY);
            break;
        case ACTION_REMOVE: {
            // A folder is passed over as a missing file; a link is the
            // user's and is never removed in place of a file.
            Type t = entry_type(p.target);
            if (!absent(t) && t != Type::regular && t != Type::directory) return refuse(p.target, ERR_DELETE);
            break;
        }
        case ACTION_RENAME:
            if (p.rename_source.empty()) break;
            for (const std::string* path : {&p.rename_source, &p.target})
                if (Type t = entry_type(*path); !absent(t) && t != Type::regular)
                    return refuse(*path, ERR_RENAME);
            break;
        default:
            break;
        }
    }
    return 0;
}

void CUpdateInstaller::UndoRegistrations() {
    for (auto it = m_registered.rbegin(); it != m_registered.rend(); ++it) {
        // The module's own unregistration first, then every key and value
        // the registration or the unregistration changed is put back as it
        // was: what it wrote goes, what it replaced returns. What other
        // steps wrote in between (a copy left for the next start) is not
        // the registration's and stays.
        RegistryChanges changes;
        changes.Add(it->before, it->after);
        if (plat::is_file(it->file)) {
            RegistryImage registered = RegistryImage::Take();
            plat::call_library_registration(it->file, true);
            changes.Add(registered, RegistryImage::Take());
        }
        changes.Restore(it->before);
        m_ctx.WriteLog(plat::strprintf("... registration of %s is removed.", it->file.c_str()), 2);
    }
    m_registered.clear();
}

int32_t CUpdateInstaller::Confine(const CFileEntry& e, const Paths& p) {
    int32_t code = ERR_COPY;
    std::vector<const std::string*> paths = {&p.location, &p.target};
    switch (e.action) {
    case ACTION_COPY:
        break;
    case ACTION_COPY_REGISTER:
        code = ERR_REGISTER;
        break;
    case ACTION_COPY_RUN_WAIT:
    case ACTION_COPY_RUN:
    case ACTION_COPY_RUN_DELETE:
        code = ERR_EXECUTE;
        break;
    case ACTION_REMOVE:
        code = ERR_DELETE;
        break;
    case ACTION_RENAME:
        code = ERR_RENAME;
        paths.push_back(&p.rename_source);
        break;
    default:
        return 0; // touches nothing
    }
    auto refuse = [&](const std::string& path, int32_t error) -> int32_t {
        if (path.empty()) return 0;
        std::string why = m_scope.Refusal(path);
        if (why.empty()) return 0;
        m_ctx.WriteLog("... " + why + ": refused.", 1);
        return Fail(error, static_cast<int32_t>(plat::SysError::AccessDenied));
    };
    for (const std::string* path : paths)
        if (int32_t r = refuse(*path, code); r < 0) return r;
    if (PolicyBackup(e)) return refuse(e.action == ACTION_RENAME ? p.rename_backup : p.backup, ERR_BACKUP);
    return 0;
}

int32_t CUpdateInstaller::InstallEntry(CFileEntry& e) {
    Paths p = PathsOf(e);
    m_ctx.WriteLog(plat::strprintf("- Defined target file : %s ...", p.source.c_str()), 3);
    m_ctx.WriteLog(plat::strprintf("- Defined install location : %s ...", p.location.c_str()), 3);
    m_ctx.WriteLog(plat::strprintf("- Defined installation file : %s ...", p.target.c_str()), 3);
    m_ctx.WriteLog(plat::strprintf("- Defined backup file : %s ...", p.backup.c_str()), 3);
    m_ctx.WriteLog(plat::strprintf("- Defined rename backup file : %s ...", p.rename_backup.c_str()), 3);

    // Backs up a file the update is about to change, by the backup policy,
    // and remembers it for the rollback.
    auto guard = [&](const std::string& file, const std::string& backup) -> int32_t {
        std::string made;
        if (plat::is_file(file) && PolicyBackup(e) && !backup.empty()) {
            int32_t r = BackupFile(file, backup);
            if (r < 0) return r;
            m_ctx.WriteLog(r == 0 ? "... Backuped." : "... Backup is skipped.", 3);
            if (r == 0) made = backup;
        }
        return Remember(file, made);
    };
    auto remove_target = [&]() -> int32_t {
        clear_read_only(p.target);
        int32_t injected = Fault(STEP_REMOVE, p.target);
        plat::SysError err = injected ? static_cast<plat::SysError>(injected) : plat::delete_file(p.target);
        if (err != plat::SysError::Success) return Fail(ERR_DELETE, static_cast<int32_t>(err));
        MarkChanged(p.target);
        m_ctx.WriteLog("... Removed.", 2);
        return 0;
    };

    switch (e.action) {
    case ACTION_COPY:
    case ACTION_COPY_REGISTER:
    case ACTION_COPY_RUN_WAIT:
    case ACTION_COPY_RUN:
    case ACTION_COPY_RUN_DELETE: {
        if (!plat::is_file(p.source)) return ERR_NOT_FOUND;
        size_t touched_before = m_touched.size();
        if (int32_t r = guard(p.target, p.backup); r < 0) return r;
        int32_t r = CopyFileWithRetry(p.source, p.target);
        if (r < 0) return r;
        if (r == 0) MarkChanged(p.target);
        m_ctx.WriteLog(r == 0 ? "... Copied." : "... Skipped to reboot.", 2);
        if (r == 1) {
            // The target was not changed; the rollback has nothing to put back.
            m_touched.resize(touched_before);
            if (e.date) plat::set_file_modified(p.source, *e.date);
            return 0; // neither registered, run nor deleted: it is not there yet
        }
        if (e.date) {
            int32_t injected = Fault(STEP_SET_DATE, p.target);
            plat::SysError err =
                injected ? static_cast<plat::SysError>(injected) : plat::set_file_modified(p.target, *e.date);
            if (err != plat::SysError::Success) return Fail(ERR_COPY, static_cast<int32_t>(err));
        }
        if (e.action == ACTION_COPY_REGISTER) {
            if (int32_t rr = SelfRegister(p.target); rr < 0) return rr;
            m_ctx.WriteLog("... Registered.", 2);
        } else if (e.action != ACTION_COPY) {
            bool wait = e.action != ACTION_COPY_RUN;
            // Files arrive without the execute permission; the vendor asked
            // for this one to be run.
            std::error_code ignored;
            std::filesystem::permissions(p.target,
                                         std::filesystem::perms::owner_exec |
                                             std::filesystem::perms::group_exec |
                                             std::filesystem::perms::others_exec,
                                         std::filesystem::perm_options::add, ignored);
            if (int32_t rr = RunProgram({p.target}, p.location, wait); rr < 0) return rr;
            m_ctx.WriteLog("... Executed.", 2);
            if (e.action == ACTION_COPY_RUN_DELETE) return remove_target();
        }
        return 0;
    }
    case ACTION_REMOVE:
        if (!plat::is_file(p.target)) {
            m_ctx.WriteLog("... removing is skipped.", 2);
            return 0;
        }
        if (int32_t r = guard(p.target, p.backup); r < 0) return r;
        return remove_target();
    case ACTION_RENAME: {
        if (p.rename_source.empty()) return 0;
        if (!plat::is_file(p.rename_source)) return ERR_NOT_FOUND;
        if (int32_t r = guard(p.rename_source, p.rename_backup); r < 0) return r;
        if (int32_t r = Remember(p.target, {}); r < 0) return r;
        if (int32_t r = MoveFileTo(p.rename_source, p.target); r < 0) return r;
        MarkChanged(p.rename_source);
        MarkChanged(p.target);
        m_ctx.WriteLog("... Renamed.", 2);
        return 0;
    }
    default:
        m_ctx.WriteLog("... no action defined for this file.", 2);
        return 0;
    }
}

bool CUpdateInstaller::InstallUpdate(CProduct& product, CUpdate& update) {
    if (m_download_folder.empty() && !Prepare(product, update)) return AskContinue(ERR_TARGET_INVALID);
    m_update_failed = false;
    // Every path the update names is checked before any of its steps runs:
    // a server's path outside the product and the machine refuses the whole
    // update, so nothing is copied, started or loaded for it.
    for (CFileEntry& e : update.files) {
        if (int32_t refused = Confine(e, PathsOf(e)); refused < 0) {
            m_ctx.WriteLog(plat::strprintf("Processing update file %s ...", e.file_name.c_str()), 2);
            m_ctx.processed = true;
            m_update_failed = true;
            return AskContinue(refused);
        }
    }
    if (int32_t r = CheckTargets(update); r < 0) {
        m_update_failed = true;
        return AskContinue(r);
    }
    for (CFileEntry& e : update.files) {
        m_ctx.WriteLog(plat::strprintf("Processing update file %s ...", e.file_name.c_str()), 2);
        Paths p = PathsOf(e);
        if (!e.ShouldInstall(m_ctx)) {
            m_ctx.WriteLog("... Processing is skipped with comparison conditions.", 2);
            continue;
        }
        m_ctx.processed = true;
        CClientContext::CreateFolderPath(p.location);
        int32_t r = InstallEntry(e);
        if (m_stopped) {
            m_update_failed = true;
            return false;
        }
        if (r < 0) {
            // The update is rolled back: none of its remaining steps runs,
            // so no module is registered and no program runs against a
            // half-installed product.
            m_update_failed = true;
            return AskContinue(r);
        }
    }
    return true;
}

bool CUpdateInstaller::RestoreUpdate(CProduct& product, CUpdate& update, bool restore) {
    if (restore) {
        // Registrations go while their modules are still in place.
        UndoRegistrations();
        for (auto it = m_touched.rbegin(); it != m_touched.rend(); ++it) {
            if (!it->changed) continue; // the run never wrote it: nothing to put back
            m_ctx.WriteLog(plat::strprintf("Processing backuped file %s ...", it->path.c_str()), 2);
            if (it->existed && it->saved.empty()) continue; // never changed: it was in use
            std::filesystem::file_type type = entry_type(it->path);
            if (!absent(type) && type != std::filesystem::file_type::regular) {
                // Not what this run put there: a link or folder is left alone.
                m_ctx.WriteLog(
                    ComposeErrorMessage(ERR_COPY, m_stage, static_cast<int32_t>(plat::SysError::AccessDenied))
                        .log,
                    1);
                continue;
            }
            if (!absent(type)) {
                clear_read_only(it->path);
                plat::SysError e = plat::delete_file(it->path);
                if (e != plat::SysError::Success) {
                    m_ctx.last_system_error = static_cast<int32_t>(e);
                    m_ctx.WriteLog(ComposeErrorMessage(ERR_DELETE, m_stage, static_cast<int32_t>(e)).log, 1);
                    continue;
                }
                m_ctx.WriteLog(plat::strprintf("... bad install %s is removed.", it->path.c_str()), 2);
            }
            if (it->existed) {
                m_ctx.WriteLog(plat::strprintf("... restoring file %s ...", it->path.c_str()), 2);
                m_ctx.BeginCopy(it->path);
                plat::SysError e = plat::copy_file(it->saved, it->path, true);
                m_ctx.EndCopy(it->path);
                if (e == plat::SysError::Success)
                    m_ctx.WriteLog("... restored.", 2);
                else
                    m_ctx.WriteLog(ComposeErrorMessage(ERR_COPY, m_stage, static_cast<int32_t>(e)).log, 1);
            }
        }
        // Files this update left for restart must not be copied after all.
        if (!m_reboot_sources.empty()) {
            CopyOnRestartBatch batch(plat::join_path(plat::native_path(m_ctx.ExpandPath()), "KlClient.bat"));
            batch.Load();
            for (const auto& source : m_reboot_sources)
                batch.Remove(source);
            batch.Save();
            if (batch.Pairs().empty()) {
                if (auto r = ParseRegistryPath(kRunOncePath))
                    plat::registry().delete_value(static_cast<plat::Hive>(r->hive), r->key, r->value_name);
                m_ctx.reboot_pending = false;
            }
            for (const auto& source : m_reboot_sources) {
                auto attributes = plat::get_attributes(source);
                if (attributes) plat::set_attributes(source, *attributes & ~plat::attr::Hidden);
            }
        }
    }
    // Backups the policy does not keep go now.
    for (const CFileEntry& e : update.files) {
        Paths p = PathsOf(e);
        const std::string& backup = e.action == ACTION_RENAME ? p.rename_backup : p.backup;
        if (backup.empty() || !PolicyBackup(e) || !m_scope.Refusal(backup).empty() || !plat::is_file(backup))
            continue;
        if (PolicyDeletesBackup(e)) {
            clear_read_only(backup);
            plat::delete_file(backup);
            m_ctx.WriteLog("... backup file is removed.", 2);
        } else {
            m_ctx.WriteLog("... backup file is skipped.", 2);
        }
    }
    plat::remove_folder_tree(m_rollback_folder);
    if (m_scope.Refusal(m_backup_folder).empty()) {
        plat::remove_folder(m_backup_folder);
        plat::remove_folder(plat::parent_path(m_backup_folder));
    }
    m_touched.clear();
    m_registered.clear();
    m_reboot_sources.clear();
    (void)product;
    return m_result >= 0;
}

} // namespace klc
