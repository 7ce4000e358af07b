#include "scripted_prompt.h"

#include <gtest/gtest.h>

namespace kltest {
namespace {

const char* kind_name(PromptKind kind) {
    switch (kind) {
    case PromptKind::Message:
        return "message";
    case PromptKind::OpenFile:
        return "open-file chooser";
    case PromptKind::SaveFile:
        return "save-file chooser";
    case PromptKind::Folder:
        return "folder chooser";
    case PromptKind::Modal:
        return "dialog";
    case PromptKind::Url:
        return "address";
    case PromptKind::DefaultPrinter:
        return "default printer";
    case PromptKind::PrintDialog:
        return "print dialog";
    case PromptKind::About:
        return "About box";
    }
    return "?";
}

} // namespace

ScriptedPrompt::~ScriptedPrompt() {
    if (!m_verified && !m_queue.empty())
        ADD_FAILURE() << "ScriptedPrompt: " << m_queue.size()
                      << " expected prompt(s) never asked, first: " << kind_name(m_queue.front().kind)
                      << " \"" << m_queue.front().match << "\"";
}

ScriptedPrompt& ScriptedPrompt::expect(ExpectedPrompt e) {
    std::lock_guard lock(m_lock);
    m_queue.push_back(std::move(e));
    return *this;
}

ScriptedPrompt& ScriptedPrompt::expect_message(std::string text, plat::ui::MsgAnswer answer) {
    ExpectedPrompt e;
    e.kind = PromptKind::Message;
    e.match = std::move(text);
    e.answer = answer;
    return expect(std::move(e));
}

ScriptedPrompt& ScriptedPrompt::expect_open(std::string title, std::optional<std::string> path) {
    ExpectedPrompt e;
    e.kind = PromptKind::OpenFile;
    e.match = std::move(title);
    e.path = std::move(path);
    return expect(std::move(e));
}

ScriptedPrompt& ScriptedPrompt::expect_save(std::string title, std::optional<std::string> path) {
    ExpectedPrompt e;
    e.kind = PromptKind::SaveFile;
    e.match = std::move(title);
    e.path = std::move(path);
    return expect(std::move(e));
}

ScriptedPrompt& ScriptedPrompt::expect_folder(std::string title, std::optional<std::string> path) {
    ExpectedPrompt e;
    e.kind = PromptKind::Folder;
    e.match = std::move(title);
    e.path = std::move(path);
    return expect(std::move(e));
}

ScriptedPrompt& ScriptedPrompt::expect_dialog(std::string name,
                                              std::function<int32_t(plat::ui::IModalDialog&)> act) {
    ExpectedPrompt e;
    e.kind = PromptKind::Modal;
    e.match = std::move(name);
    e.act = std::move(act);
    return expect(std::move(e));
}

ScriptedPrompt& ScriptedPrompt::expect_printer(PromptKind kind,
                                               std::optional<plat::ui::PrinterChoice> printer) {
    ExpectedPrompt e;
    e.kind = kind;
    e.printer = std::move(printer);
    return expect(std::move(e));
}

ScriptedPrompt& ScriptedPrompt::expect_about(std::string product) {
    ExpectedPrompt e;
    e.kind = PromptKind::About;
    e.match = std::move(product);
    return expect(std::move(e));
}

std::vector<plat::ui::AboutRequest> ScriptedPrompt::abouts() const {
    std::lock_guard lock(m_lock);
    return m_abouts;
}

void ScriptedPrompt::verify_done() {
    std::lock_guard lock(m_lock);
    m_verified = true;
    EXPECT_TRUE(m_queue.empty()) << "ScriptedPrompt: " << m_queue.size() << " expected prompt(s) never asked";
}

std::vector<SeenPrompt> ScriptedPrompt::seen() const {
    std::lock_guard lock(m_lock);
    return m_seen;
}

size_t ScriptedPrompt::pending() const {
    std::lock_guard lock(m_lock);
    return m_queue.size();
}

std::optional<ExpectedPrompt> ScriptedPrompt::take(PromptKind kind, const std::string& text) {
    // Called with m_lock held.
    if (m_queue.empty()) {
        ADD_FAILURE() << "ScriptedPrompt: unexpected " << kind_name(kind) << " \"" << text << "\"";
        return std::nullopt;
    }
    ExpectedPrompt e = std::move(m_queue.front());
    m_queue.pop_front();
    if (e.kind != kind || (!e.match.empty() && e.match != text)) {
        ADD_FAILURE() << "ScriptedPrompt: expected " << kind_name(e.kind) << " \"" << e.match << "\", got "
                      << kind_name(kind) << " \"" << text << "\"";
        return std::nullopt;
    }
    return e;
}

plat::ui::MsgAnswer ScriptedPrompt::message(const plat::ui::MessageRequest& request) {
    std::optional<ExpectedPrompt> e;
    {
        std::lock_guard lock(m_lock);
        SeenPrompt s{PromptKind::Message, request.text, request.caption, request, {}, {}};
        m_seen.push_back(s);
        e = take(PromptKind::Message, request.text);
    }
    if (!e) {
        // The cancelling answer of each button set.
        switch (request.buttons) {
        case plat::ui::MsgButtons::Ok:
            return plat::ui::MsgAnswer::Ok;
        case plat::ui::MsgButtons::YesNo:
            return plat::ui::MsgAnswer::No;
        case plat::ui::MsgButtons::AbortRetryIgnore:
            return plat::ui::MsgAnswer::Abort;
        default:
            return plat::ui::MsgAnswer::Cancel;
        }
    }
    if (e->check) e->check(request);
    return e->answer;
}

std::optional<std::string> ScriptedPrompt::choose_open_file(const plat::ui::FileRequest& request) {
    std::lock_guard lock(m_lock);
    m_seen.push_back(SeenPrompt{PromptKind::OpenFile, request.title, {}, {}, request, {}});
    auto e = take(PromptKind::OpenFile, request.title);
    return e ? e->path : std::nullopt;
}

std::optional<std::string> ScriptedPrompt::choose_save_file(const plat::ui::FileRequest& request) {
    std::lock_guard lock(m_lock);
    m_seen.push_back(SeenPrompt{PromptKind::SaveFile, request.title, {}, {}, request, {}});
    auto e = take(PromptKind::SaveFile, request.title);
    return e ? e->path : std::nullopt;
}

std::optional<std::string> ScriptedPrompt::choose_folder(const plat::ui::FolderRequest& request) {
    std::lock_guard lock(m_lock);
    m_seen.push_back(SeenPrompt{PromptKind::Folder, request.title, {}, {}, {}, request});
    auto e = take(PromptKind::Folder, request.title);
    return e ? e->path : std::nullopt;
}

int32_t ScriptedPrompt::run_modal(plat::ui::IModalDialog& dialog) {
    std::optional<ExpectedPrompt> e;
    {
        std::lock_guard lock(m_lock);
        m_seen.push_back(SeenPrompt{PromptKind::Modal, dialog.dialog_name(), {}, {}, {}, {}});
        e = take(PromptKind::Modal, dialog.dialog_name());
    }
    if (!e) return 0;
    // The answer acts outside the lock: it may drive the dialog, which may
    // ask further questions.
    return e->act ? e->act(dialog) : e->result;
}

bool ScriptedPrompt::open_url(const std::string& url) {
    std::lock_guard lock(m_lock);
    m_seen.push_back(SeenPrompt{PromptKind::Url, url, {}, {}, {}, {}});
    auto e = take(PromptKind::Url, url);
    return e ? e->url_taken : false;
}

std::optional<plat::ui::PrinterChoice> ScriptedPrompt::default_printer() {
    std::lock_guard lock(m_lock);
    m_seen.push_back(SeenPrompt{PromptKind::DefaultPrinter, {}, {}, {}, {}, {}});
    auto e = take(PromptKind::DefaultPrinter, {});
    return e ? e->printer : std::nullopt;
}

std::optional<plat::ui::PrinterChoice> ScriptedPrompt::choose_printer() {
    std::lock_guard lock(m_lock);
    m_seen.push_back(SeenPrompt{PromptKind::PrintDialog, {}, {}, {}, {}, {}});
    auto e = take(PromptKind::PrintDialog, {});
    return e ? e->printer : std::nullopt;
}

void ScriptedPrompt::about(const plat::ui::AboutRequest& request) {
    std::lock_guard lock(m_lock);
    SeenPrompt seen{};
    seen.kind = PromptKind::About;
    seen.text = request.product;
    m_seen.push_back(seen);
    m_abouts.push_back(request);
    take(PromptKind::About, request.product);
}

} // namespace kltest
