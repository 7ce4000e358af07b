#pragma once
// A client run in this process against nginx on loopback: a published
// product with two updates (one with an icon file, one with a bitmap as its
// icon, news for the first), a server list, a product folder, and the
// wizard driven through a scripted prompt.
#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPushButton>
#include <filesystem>
#include <memory>
#include <optional>
#include <unistd.h>

#include "client/ui/app.h"
#include "client/ui/page_base.h"
#include "client/ui/sheet.h"
#include "engine_publish.h"
#include "gui_util.h"
#include "platform/config/ini.h"
#include "platform/sys/environment.h"
#include "support/scripted_prompt.h"
#include "support/servers.h"
#include "support/temp_dir.h"

namespace client_ui_test {

namespace fs = std::filesystem;

struct FakeClock : klc::IClock {
    int64_t now = 1'000'000;
    int64_t NowMs() const override { return now; }
};

struct RecordingRestarter : klc::IRestarter {
    int calls = 0;
    bool Restart() override {
        ++calls;
        return true;
    }
};

inline std::string ImageBytes(const char* format, QColor colour) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.write(image);
    return bytes.toStdString();
}

struct Published {
    std::string file_a = "alpha.txt";
    std::string content_a = std::string(3000, 'a');
    std::string file_b = "beta.bin";
    std::string content_b;
};

// Writes both updates below `root`/updates and the catalogue linking them.
inline Published PublishTwoUpdates(const fs::path& root, const std::string& base_url, size_t b_size = 4000) {
    Published p;
    p.content_b = kltest::payload(b_size, 7);
    engine_test::Publication a;
    a.web_location = base_url + "/a";
    a.inf_name = "a.inf";
    a.files = {engine_test::PublishedFile{p.file_a, p.content_a}};
    a.common_extra = {{"Update", "Update A"},
                      {"Description", "The first update"},
                      {"Icon", "a.ico"},
                      {"WhatsNew", "news.txt"}};
    engine_test::Publish((root / "updates" / "a").string(), a);
    kltest::write_file(root / "updates" / "a" / "a.ico", ImageBytes("ico", Qt::red));
    kltest::write_file(root / "updates" / "a" / "news.txt", "Update A is faster.");

    engine_test::Publication b;
    b.web_location = base_url + "/b";
    b.inf_name = "b.inf";
    b.files = {engine_test::PublishedFile{p.file_b, p.content_b}};
    b.common_extra = {{"Update", "Update B"}, {"Description", "The second update"}, {"Icon", "b.bmp"}};
    engine_test::Publish((root / "updates" / "b").string(), b);
    kltest::write_file(root / "updates" / "b" / "b.bmp", ImageBytes("bmp", Qt::blue));

    plat::IniDocument products;
    products.set("Common", "INFVersion", "3");
    products.set("Product1", "Name", "Editor");
    products.set("Product1", "File", a.web_location + "/a.inf");
    products.set("Product1", "File1", b.web_location + "/b.inf");
    products.save(root / "updates" / "Products.INF");
    return p;
}

class WizardRun {
  public:
    kltest::TempDir dir;
    std::unique_ptr<kltest::NginxServer> nginx;
    klc::CClientContext ctx;
    kltest::ScriptedPrompt prompt;
    RecordingRestarter restarter;
    FakeClock clock;
    std::unique_ptr<klc::CClientApp> app;
    std::unique_ptr<klc::CKLMainWindow> sheet;
    Published published;

    WizardRun() {
        fs::create_directories(dir / "product");
        fs::create_directories(dir / "temp");
        fs::create_directories(dir / "www");
        m_old_cwd = fs::current_path();
        // The run sets these for itself; the next test must not see them.
        for (const char* name :
             {"TEMP", "PROGRAM FILES", "SYSTEM", "SYS", "WINDIR", "WIN", "PROGRAMFILES", "PRODUCT"})
            m_old_env.emplace_back(name, plat::Environment::process().get(name));
        fs::current_path(dir / "product");
        plat::Environment::process().set("TEMP", (dir / "temp").string());
        plat::Environment::process().set("PROGRAM FILES", (dir / "pf").string());
    }
    ~WizardRun() {
        Close();
        fs::current_path(m_old_cwd);
        for (const auto& [name, value] : m_old_env)
            if (value)
                plat::Environment::process().set(name, *value);
            else
                plat::Environment::process().unset(name);
    }

    // nginx over the www folder; `extra` goes into its location block.
    bool StartServer(const std::string& extra = {}) {
        if (!kltest::have_program("nginx")) return false;
        nginx = std::make_unique<kltest::NginxServer>((dir / "www").string(), extra);
        return nginx->start();
    }
    std::string Updates() const { return nginx->url("/updates"); }
    void Publish(size_t b_size = 4000) { published = PublishTwoUpdates(dir / "www", Updates(), b_size); }
    // A server list naming the published catalogue.
    void WriteServerList(const std::string& url) {
        kltest::write_file(
            dir / "product" / "KLClient.INI",
            "[Information]\r\nUpdates for the editor.\r\n\r\n[Server1]\r\nName=Loopback\r\nINFFile=" + url +
                "\r\n");
    }

    // Start-up as the program does it, then the wizard, shown and started;
    // questions go to `other` when given (the real boxes), else to `prompt`.
    bool Open(std::vector<std::string> args, plat::ui::IPrompt* other = nullptr) {
        args.insert(args.begin(), "LOG=3");
        app = std::make_unique<klc::CClientApp>(ctx, other ? *other : prompt, restarter, clock);
        if (!app->InitInstance(args)) return false;
        sheet = app->MakeWizard();
        sheet->show();
        sheet->Start();
        return true;
    }
    int Active() const { return sheet->active_index(); }
    bool WaitFor(int page) {
        bool ok = PumpUntil([&] { return !sheet->isVisible() || (Active() == page && !Busy()); });
        return ok && Active() == page;
    }
    bool WaitClosed() {
        return PumpUntil([&] { return !sheet->isVisible(); });
    }
    bool Busy() const {
        for (int i = 0; i < sheet->page_count(); ++i)
            if (static_cast<klc::CPGBase*>(sheet->page(i))->WorkerRunning()) return true;
        return false;
    }
    QPushButton* Button(plat::ui::PropertySheet::Button b) const { return sheet->button(b); }
    void Next() { sheet->press_button(plat::ui::PropertySheet::Next); }
    // Ends the run as the program does; the exit status.
    int Close() {
        if (!app) return -1;
        if (sheet) {
            sheet->CleanupPages();
            sheet.reset();
        }
        app->EndWizard();
        int status = app->ExitInstance();
        app.reset();
        return status;
    }
    std::string Log() const { return kltest::read_file(dir / "product" / "KLClient.LOG"); }
    std::string Installed(const std::string& name) const { return kltest::read_file(dir / "product" / name); }
    bool HasInstalled(const std::string& name) const { return fs::exists(dir / "product" / name); }

  private:
    fs::path m_old_cwd;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_old_env;
};

inline size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

} // namespace client_ui_test
