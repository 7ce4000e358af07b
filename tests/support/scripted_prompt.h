#pragma once
// A prompt that answers from a queue of expected questions. A question it
// does not expect (wrong kind, wrong text, or none left) fails the test at
// once and gets the cancelling answer; it never blocks.
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/prompt.h"

namespace kltest {

enum class PromptKind { Message, OpenFile, SaveFile, Folder, Modal, Url, DefaultPrinter, PrintDialog, About };

struct ExpectedPrompt {
    PromptKind kind{PromptKind::Message};
    // Must equal the message text, the chooser's title, the dialog's name or
    // the address; empty matches anything.
    std::string match;
    plat::ui::MsgAnswer answer{plat::ui::MsgAnswer::Ok};
    std::optional<std::string> path; // chooser answer; nullopt cancels
    int32_t result{0};               // modal dialog result
    bool url_taken{true};
    std::optional<plat::ui::PrinterChoice> printer; // printer answer; nullopt: none or cancelled
    // For a modal dialog: acts on the live dialog; its return is the result.
    std::function<int32_t(plat::ui::IModalDialog&)> act;
    // For a message: checks the whole request.
    std::function<void(const plat::ui::MessageRequest&)> check;
};

// What was asked, in order, for tests that check more than the answer.
struct SeenPrompt {
    PromptKind kind;
    std::string text;    // message text, title, dialog name or address
    std::string caption; // message caption
    plat::ui::MessageRequest message;
    plat::ui::FileRequest file;
    plat::ui::FolderRequest folder;
};

class ScriptedPrompt : public plat::ui::IPrompt {
  public:
    ScriptedPrompt() = default;
    ~ScriptedPrompt() override;

    ScriptedPrompt& expect(ExpectedPrompt e);
    ScriptedPrompt& expect_message(std::string text, plat::ui::MsgAnswer answer = plat::ui::MsgAnswer::Ok);
    ScriptedPrompt& expect_open(std::string title, std::optional<std::string> path);
    ScriptedPrompt& expect_save(std::string title, std::optional<std::string> path);
    ScriptedPrompt& expect_folder(std::string title, std::optional<std::string> path);
    ScriptedPrompt& expect_dialog(std::string name, std::function<int32_t(plat::ui::IModalDialog&)> act);
    // The default printer or the print dialog (kind DefaultPrinter or
    // PrintDialog) answers `printer`.
    ScriptedPrompt& expect_printer(PromptKind kind, std::optional<plat::ui::PrinterChoice> printer);
    // An About box naming `product`.
    ScriptedPrompt& expect_about(std::string product);

    // Fails the test when expected prompts were never asked.
    void verify_done();
    std::vector<SeenPrompt> seen() const;
    size_t pending() const;
    // The About boxes shown, in order.
    std::vector<plat::ui::AboutRequest> abouts() const;

    plat::ui::MsgAnswer message(const plat::ui::MessageRequest& request) override;
    std::optional<std::string> choose_open_file(const plat::ui::FileRequest& request) override;
    std::optional<std::string> choose_save_file(const plat::ui::FileRequest& request) override;
    std::optional<std::string> choose_folder(const plat::ui::FolderRequest& request) override;
    int32_t run_modal(plat::ui::IModalDialog& dialog) override;
    bool open_url(const std::string& url) override;
    std::optional<plat::ui::PrinterChoice> default_printer() override;
    std::optional<plat::ui::PrinterChoice> choose_printer() override;
    void about(const plat::ui::AboutRequest& request) override;

  private:
    std::optional<ExpectedPrompt> take(PromptKind kind, const std::string& text);

    mutable std::mutex m_lock;
    std::deque<ExpectedPrompt> m_queue;
    std::vector<SeenPrompt> m_seen;
    std::vector<plat::ui::AboutRequest> m_abouts;
    bool m_verified{false};
};

} // namespace kltest
