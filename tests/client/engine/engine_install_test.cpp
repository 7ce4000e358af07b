#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "client/engine/errors.h"
#include "client/engine/install.h"
#include "engine_fixture.h"
#include "engine_publish.h"
#include "platform/config/registry.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace {

namespace fs = std::filesystem;
using engine_test::Machine;
using engine_test::Publication;
using engine_test::PublishedFile;

// Answers the installer's questions as a test tells it to.
struct Host : klc::IClientHost {
    int32_t in_use_answer = klc::IN_USE_SKIP;
    std::vector<std::string> questions;
    int32_t AskFileInUse(const std::string& q) override {
        questions.push_back(q);
        return in_use_answer;
    }
};

// Every file below a folder with its bytes and time.
std::map<std::string, std::pair<std::string, uint64_t>> Snapshot(const std::string& folder) {
    std::map<std::string, std::pair<std::string, uint64_t>> out;
    if (!fs::exists(folder)) return out;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (!e.is_regular_file()) continue;
        out[fs::relative(e.path(), folder).string()] = {kltest::read_file(e.path()),
                                                        plat::file_modified(e.path().string())->ticks};
    }
    return out;
}

std::string CClientContextText(const char* path) {
    return klc::CClientContext::ReadRegistryText(path);
}

struct Installed {
    Machine m;
    Host host;
    klc::CCatalogue cat;

    // Publishes into "server" and reads it back through the file scheme.
    void Read(Publication pub) {
        pub.web_location = "file://" + m.path("server");
        engine_test::Publish(m.path("server"), pub);
        engine_test::ReadPublished(m.ctx, cat, m.path("server"), pub.web_location + "/Products.INF");
    }
    int32_t Run(klc::CUpdateInstaller& installer) {
        return installer.LoadUpdates(cat, klc::CTransferSettings{}, klc::CRequestInfo{});
    }
};

TEST(EngineInstall, FilesArriveByteForByteWithTheirDates) {
    Installed t;
    Publication pub;
    pub.chunk_size = 4096;
    std::string big;
    for (int i = 0; i < 3000; ++i)
        big += std::to_string(i * 7919) + ",";
    PublishedFile plain{"readme.txt", "plain text\r\n"};
    PublishedFile packed{"tool.bin", big};
    packed.compress = true; // compressed and, being large, split
    PublishedFile secret{"key.dat", "protected bytes"};
    secret.encrypt = true;
    secret.destination = "%PRODUCT%\\keys";
    pub.files = {plain, packed, secret};
    pub.common_extra = {{"OnSuccess", "HKCU/Software/Vendor/Editor/Installed,yes"}};
    t.Read(pub);
    ASSERT_EQ(t.cat.products.size(), 1u);
    ASSERT_GE(t.cat.products[0].updates[0].files[1].pieces.size(), 2u);

    klc::CUpdateInstaller installer(t.m.ctx, t.host);
    EXPECT_EQ(t.Run(installer), 0);
    EXPECT_EQ(installer.PageResult(), 0) << t.m.log();

    auto when = klc::ParseDate("06/22/2001 14:05:00", true);
    for (const auto& [rel, content] : {std::pair<std::string, std::string>{"readme.txt", plain.content},
                                       {"tool.bin", big},
                                       {"keys/key.dat", secret.content}}) {
        std::string path = t.m.path("product/" + rel);
        EXPECT_EQ(kltest::read_file(path), content) << rel;
        EXPECT_EQ(plat::file_modified(path)->ticks, when->ticks) << rel;
    }
    EXPECT_EQ(plat::registry().get_string(plat::Hive::CurrentUser, "Software\\Vendor\\Editor", "Installed"),
              "yes");
    EXPECT_FALSE(fs::exists(fs::path(t.m.ctx.StoreFolder()) / "Editor")) << "download folder left behind";
    EXPECT_TRUE(t.m.ctx.processed);

    std::string log = t.m.log();
    EXPECT_NE(log.find("  -> Loading UPDATE Main Update ...\r\n"), std::string::npos);
    EXPECT_NE(log.find("  ... Copied.\r\n"), std::string::npos);
    EXPECT_NE(log.find("  ... Decompressed.\r\n"), std::string::npos);
}

} // namespace

namespace {

// An update that touches the product folder in every way there is.
Publication EveryAction() {
    Publication pub;
    PublishedFile keep{"keep.txt", "new keep"};
    PublishedFile fresh{"fresh.txt", "brand new"};
    PublishedFile run{"run.sh", "#!/bin/sh\necho ran > \"$(dirname \"$0\")/ran.txt\"\n"};
    run.action = klc::ACTION_COPY_RUN_WAIT;
    PublishedFile rename{"new.dll", ""};
    rename.action = klc::ACTION_RENAME;
    rename.rename_from = "old.dll";
    PublishedFile gone{"gone.txt", "x"};
    gone.action = klc::ACTION_REMOVE;
    pub.files = {keep, fresh, run, rename, gone};
    pub.common_extra = {{"OnSuccess", "HKCU/Software/Vendor/Editor/Installed,yes"}};
    return pub;
}

void SeedProduct(Machine& m) {
    for (const char* name : {"keep.txt", "old.dll", "gone.txt"}) {
        kltest::write_file(m.dir / "product" / name, std::string("before ") + name);
        plat::set_file_modified(m.path("product/") + name, plat::FileTime{130000000000000000ull});
    }
}

TEST(EngineInstall, EveryActionApplied) {
    Installed t;
    SeedProduct(t.m);
    t.Read(EveryAction());
    klc::CUpdateInstaller installer(t.m.ctx, t.host);
    EXPECT_EQ(t.Run(installer), 0);
    EXPECT_EQ(installer.PageResult(), 0) << t.m.log();
    EXPECT_EQ(kltest::read_file(t.m.dir / "product" / "keep.txt"), "new keep");
    EXPECT_EQ(kltest::read_file(t.m.dir / "product" / "fresh.txt"), "brand new");
    EXPECT_EQ(kltest::read_file(t.m.dir / "product" / "ran.txt"), "ran\n");
    EXPECT_EQ(kltest::read_file(t.m.dir / "product" / "new.dll"), "before old.dll");
    EXPECT_FALSE(fs::exists(t.m.dir / "product" / "old.dll"));
    EXPECT_FALSE(fs::exists(t.m.dir / "product" / "gone.txt"));
}

TEST(EngineInstall, AFailureAtEveryStepRollsBackEveryTouchedFile) {
    struct Case {
        klc::InstallStep step;
        const char* file;
        int32_t backup_mode;
    } cases[] = {
        {klc::STEP_COPY, "fresh.txt", 0},     {klc::STEP_COPY, "keep.txt", 1},
        {klc::STEP_SET_DATE, "fresh.txt", 1}, {klc::STEP_EXECUTE, "run.sh", 0},
        {klc::STEP_RENAME, "new.dll", 1},     {klc::STEP_REMOVE, "gone.txt", 0},
        {klc::STEP_BACKUP, "gone.txt", 2},    {klc::STEP_REMOVE, "gone.txt", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " step " + std::to_string(c.step) + " mode " +
                     std::to_string(c.backup_mode));
        Installed t;
        t.m.ctx.backup_mode = c.backup_mode;
        t.m.ctx.backup_folder = t.m.path("backup"); // kept backups are not the product's files
        SeedProduct(t.m);
        t.Read(EveryAction());
        auto before = Snapshot(t.m.path("product"));

        klc::CUpdateInstaller installer(t.m.ctx, t.host);
        installer.SetFaultHook([&](klc::InstallStep step, const std::string& path) {
            return step == c.step && plat::file_name(path) == c.file ? int32_t(plat::SysError::AccessDenied)
                                                                     : 0;
        });
        t.Run(installer);
        EXPECT_LT(installer.PageResult(), 0);
        auto after = Snapshot(t.m.path("product"));
        after.erase("ran.txt"); // what a program does is its own business
        EXPECT_EQ(after, before);
        EXPECT_EQ(
            plat::registry().get_string(plat::Hive::CurrentUser, "Software\\Vendor\\Editor", "Installed"),
            "");
        // keep.txt is the first step: when it fails, nothing was changed.
        EXPECT_EQ(t.m.log().find("... restored.") != std::string::npos, std::string(c.file) != "keep.txt");
    }
}

} // namespace

namespace {

TEST(EngineInstall, FilesInUseAreCopiedAtTheNextStart) {
    Installed t;
    kltest::write_file(t.m.dir / "product" / "it's.txt", "old one");
    kltest::write_file(t.m.dir / "product" / "second.txt", "old two");
    auto lock1 = std::make_unique<plat::FileLock>();
    auto lock2 = std::make_unique<plat::FileLock>();
    ASSERT_EQ(lock1->lock(t.m.path("product/it's.txt")), plat::SysError::Success);
    ASSERT_EQ(lock2->lock(t.m.path("product/second.txt")), plat::SysError::Success);

    Publication pub;
    pub.files = {PublishedFile{"it's.txt", "new one"}, PublishedFile{"second.txt", "new two"},
                 PublishedFile{"free.txt", "free"}};
    t.Read(pub);
    t.host.in_use_answer = klc::IN_USE_COPY_ON_RESTART;
    klc::CUpdateInstaller installer(t.m.ctx, t.host);
    EXPECT_EQ(t.Run(installer), 0);
    EXPECT_EQ(installer.PageResult(), 0) << t.m.log();
    ASSERT_EQ(t.host.questions.size(), 2u);
    EXPECT_NE(t.host.questions[0].find("is used by another application."), std::string::npos);

    EXPECT_EQ(kltest::read_file(t.m.dir / "product" / "it's.txt"), "old one");
    EXPECT_EQ(kltest::read_file(t.m.dir / "product" / "free.txt"), "free");
    EXPECT_TRUE(t.m.ctx.reboot_pending);
    EXPECT_EQ(t.m.ctx.ResultLine(), "Some updates was skipped for future reboot.");

    std::string batch_path = t.m.path("temp/KlClient.bat");
    std::string batch = kltest::read_file(batch_path);
    std::string quoted_target = "'" + t.m.path("product/it'\\''s.txt") + "'";
    EXPECT_NE(batch.find(quoted_target), std::string::npos) << batch;
    size_t copies = 0, removals = 0;
    for (size_t at = 0; (at = batch.find("\ncp -p -- ", at)) != std::string::npos; ++at)
        ++copies;
    for (size_t at = 0; (at = batch.find("\nrm -f -- ", at)) != std::string::npos; ++at)
        ++removals;
    EXPECT_EQ(copies, 2u);
    EXPECT_EQ(removals, 3u); // one per source and one for the batch itself
    EXPECT_EQ(CClientContextText(klc::kRunOncePath), "/bin/sh \"" + batch_path + "\"");

    // The next start: the files are free and the RunOnce command runs.
    lock1.reset();
    lock2.reset();
    EXPECT_EQ(klc::RunOnceCommands(), 1);
    EXPECT_EQ(kltest::read_file(t.m.dir / "product" / "it's.txt"), "new one");
    EXPECT_EQ(kltest::read_file(t.m.dir / "product" / "second.txt"), "new two");
    auto when = klc::ParseDate("06/22/2001 14:05:00", true);
    EXPECT_EQ(plat::file_modified(t.m.path("product/second.txt"))->ticks, when->ticks);
    EXPECT_FALSE(fs::exists(batch_path));
    EXPECT_EQ(CClientContextText(klc::kRunOncePath), "");
    EXPECT_EQ(klc::RunOnceCommands(), 0);
}

TEST(EngineInstall, ARolledBackUpdateLeavesNothingForTheNextStart) {
    Installed t;
    kltest::write_file(t.m.dir / "product" / "busy.txt", "old");
    plat::FileLock lock;
    ASSERT_EQ(lock.lock(t.m.path("product/busy.txt")), plat::SysError::Success);
    Publication pub;
    pub.files = {PublishedFile{"busy.txt", "new"}, PublishedFile{"later.txt", "x"}};
    t.Read(pub);
    t.host.in_use_answer = klc::IN_USE_COPY_ON_RESTART;
    klc::CUpdateInstaller installer(t.m.ctx, t.host);
    installer.SetFaultHook([](klc::InstallStep step, const std::string& path) {
        return step == klc::STEP_COPY && plat::file_name(path) == "later.txt"
                   ? int32_t(plat::SysError::DiskFull)
                   : 0;
    });
    t.Run(installer);
    EXPECT_EQ(installer.PageResult(), klc::ERR_COPY);
    EXPECT_FALSE(fs::exists(t.m.path("temp/KlClient.bat")));
    EXPECT_EQ(CClientContextText(klc::kRunOncePath), "");
    EXPECT_FALSE(t.m.ctx.reboot_pending);
    EXPECT_FALSE(fs::exists(t.m.path("product/later.txt")));
}

TEST(EngineInstall, AShortPieceKeepsTheUpdateOut) {
    Installed t;
    kltest::write_file(t.m.dir / "product" / "a.txt", "old");
    Publication pub;
    pub.files = {PublishedFile{"a.txt", "new contents"}};
    pub.common_extra = {{"OnSuccess", "HKCU/Software/Vendor/Editor/Installed,yes"}};
    t.Read(pub);
    fs::resize_file(t.m.path("server/_0001.KL_"), 4); // the server holds less than the INF says
    klc::CUpdateInstaller installer(t.m.ctx, t.host);
    t.Run(installer);
    EXPECT_EQ(installer.PageResult(), klc::ERR_LOAD);
    EXPECT_EQ(kltest::read_file(t.m.dir / "product" / "a.txt"), "old");
    EXPECT_EQ(plat::registry().get_string(plat::Hive::CurrentUser, "Software\\Vendor\\Editor", "Installed"),
              "");
    EXPECT_NE(t.m.log().find("Unable to load  file."), std::string::npos);
}

TEST(EngineInstall, ModulesRegisterOnlyWhenTheyDeclareIt) {
    Machine m;
    Host host;
    klc::CUpdateInstaller installer(m.ctx, host);
    kltest::write_file(m.dir / "plain.so", "not a module");
    EXPECT_EQ(installer.SelfRegister(m.path("plain.so")), klc::ERR_REGISTER);
#ifdef KL_ENGINE_PE_LIBRARY
    // Declares self-registration but is no module this machine can load.
    EXPECT_EQ(installer.SelfRegister(KL_ENGINE_PE_LIBRARY), klc::ERR_REGISTER);
    EXPECT_EQ(m.ctx.last_system_error, 193);
#endif
    EXPECT_EQ(installer.ApplyOnSuccess("no comma"), klc::ERR_ON_SUCCESS);
    EXPECT_EQ(installer.ApplyOnSuccess("HKBOGUS/a/b,x"), klc::ERR_ON_SUCCESS);
    EXPECT_EQ(installer.RunProgram({m.path("missing")}, m.path(""), true), klc::ERR_EXECUTE);
}

} // namespace

namespace {

TEST(EngineInstall, BackupPolicyByModeAndEntry) {
    struct Case {
        int32_t mode;
        const char* backup;
        bool made;
        bool kept;
    } cases[] = {
        {0, "1", false, false}, {0, "2", true, false}, {1, "1", true, false},
        {1, "2", true, true},   {2, "1", true, true},  {2, "0", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + "/" + c.backup);
        Installed t;
        t.m.ctx.backup_mode = c.mode;
        t.m.ctx.backup_folder = t.m.path("backup");
        kltest::write_file(t.m.dir / "product" / "a.txt", "old");
        Publication pub;
        PublishedFile f{"a.txt", "new"};
        f.extra = {{"Backup", c.backup}};
        pub.files = {f};
        t.Read(pub);
        klc::CUpdateInstaller installer(t.m.ctx, t.host);
        bool made = false;
        installer.SetFaultHook([&](klc::InstallStep step, const std::string&) {
            made |= step == klc::STEP_BACKUP;
            return 0;
        });
        t.Run(installer);
        EXPECT_EQ(kltest::read_file(t.m.dir / "product" / "a.txt"), "new");
        EXPECT_EQ(made, c.made);
        std::string backup = t.m.path("backup/Editor/Main Update/a.txt");
        EXPECT_EQ(fs::exists(backup), c.kept);
        if (c.kept) {
            EXPECT_EQ(kltest::read_file(backup), "old");
        }
    }
}

} // namespace

namespace {

TEST(EngineInstall, AnswersToFileQuestions) {
    Machine m;
    struct Answering : Host {
        std::vector<int32_t> answers;
        std::function<void()> on_ask;
        int32_t AskFileInUse(const std::string& q) override {
            questions.push_back(q);
            if (on_ask) on_ask();
            int32_t a = answers.front();
            answers.erase(answers.begin());
            return a;
        }
        int32_t overwrite = klc::OVERWRITE_NO;
        int32_t AskBackupExists(const std::string& q) override {
            questions.push_back(q);
            return overwrite;
        }
    };
    kltest::write_file(m.dir / "src.txt", "new");
    std::string target = m.path("product/t.txt");
    auto lock = std::make_unique<plat::FileLock>();

    struct Case {
        std::vector<int32_t> answers;
        int32_t result;
        const char* content;
        bool stopped;
    } cases[] = {
        {{klc::IN_USE_SKIP}, 1, "old", false},
        {{klc::IN_USE_RETRY, klc::IN_USE_RETRY}, 0, "new", false}, // the second try finds it free
        {{klc::IN_USE_CANCEL}, klc::ERR_COPY, "old", true},
    };
    for (const Case& c : cases) {
        kltest::write_file(target, "old");
        ASSERT_EQ(lock->lock(target), plat::SysError::Success);
        Answering host;
        host.answers = c.answers;
        host.on_ask = [&] {
            if (host.questions.size() == 2) lock->unlock();
        };
        m.ctx.automatic_mode = 0;
        klc::CUpdateInstaller installer(m.ctx, host);
        EXPECT_EQ(installer.CopyFileWithRetry(m.path("src.txt"), target), c.result);
        EXPECT_EQ(kltest::read_file(target), c.content);
        EXPECT_EQ(installer.Stopped(), c.stopped);
        lock->unlock();
    }

    // A backup from an earlier update: No keeps it, Yes for all overwrites
    // this and every later one without asking again, Terminate ends the run.
    kltest::write_file(m.dir / "backup.txt", "earlier");
    Answering host;
    klc::CUpdateInstaller installer(m.ctx, host);
    EXPECT_EQ(installer.BackupFile(m.path("src.txt"), m.path("backup.txt")), 1);
    EXPECT_EQ(kltest::read_file(m.dir / "backup.txt"), "earlier");
    host.overwrite = klc::OVERWRITE_YES_FOR_ALL;
    EXPECT_EQ(installer.BackupFile(m.path("src.txt"), m.path("backup.txt")), 0);
    host.overwrite = klc::OVERWRITE_TERMINATE;
    EXPECT_EQ(installer.BackupFile(m.path("src.txt"), m.path("backup.txt")), 0);
    EXPECT_EQ(host.questions.size(), 2u);
    klc::CUpdateInstaller other(m.ctx, host);
    EXPECT_EQ(other.BackupFile(m.path("src.txt"), m.path("backup.txt")), klc::ERR_BACKUP);
    EXPECT_TRUE(other.Stopped());
}

TEST(EngineInstall, ACancelEndsTheRunBeforeAnythingIsInstalled) {
    Installed t;
    Publication pub;
    pub.files = {PublishedFile{"a.txt", "a"}};
    t.Read(pub);
    t.m.ctx.cancel_event.set();
    klc::CUpdateInstaller installer(t.m.ctx, t.host);
    EXPECT_EQ(t.Run(installer), 1);
    EXPECT_EQ(installer.PageResult(), klc::ERR_CANCELLED);
    EXPECT_FALSE(fs::exists(t.m.path("product/a.txt")));
}

} // namespace
