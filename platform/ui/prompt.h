#pragma once
// The one way the programs ask the person anything: message boxes, file and
// folder choosers, our own modal dialogs, printer choice and "open this
// address". Free of Qt types, so headless code (the update builder, the
// client engine's callers) can depend on it; QtPrompt is the real one and
// tests answer through a scripted one.
#include <cstdint>
#include <optional>
#include <string>

namespace plat::ui {

// The original platform's message-box buttons, icons and answers, with their
// numbers, because callers store and compare them.
enum class MsgButtons : int32_t {
    Ok = 0,
    OkCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5,
};

enum class MsgIcon : int32_t {
    None = 0,
    Error = 0x10, // stop sign
    Question = 0x20,
    Warning = 0x30, // exclamation
    Information = 0x40,
};

enum class MsgAnswer : int32_t {
    None = 0, // the box was never shown (a prompt that cannot ask)
    Ok = 1,
    Cancel = 2,
    Abort = 3,
    Retry = 4,
    Ignore = 5,
    Yes = 6,
    No = 7,
};

struct MessageRequest {
    std::string text;
    std::string caption;
    MsgIcon icon{MsgIcon::None};
    MsgButtons buttons{MsgButtons::Ok};
    int32_t default_button{0}; // 0 first, 1 second, 2 third
};

// A file chooser. `filter` uses the platform's form
// "Text (*.txt)|*.txt|All Files (*.*)|*.*".
struct FileRequest {
    std::string title;
    std::string filter;
    std::string initial_folder;
    std::string file_name;
    int32_t filter_index{1};
    bool must_exist{false};      // open: the chosen file must exist
    bool overwrite_prompt{true}; // save: ask before choosing an existing file
    // open: a first choice, "Programs", lists the files one may run (the
    // executable bit), whatever their names; filter_index counts it first.
    bool programs{false};
};

struct FolderRequest {
    std::string title;
    std::string initial_folder;
};

// One of our own modal dialogs, opened through the prompt so that tests can
// answer it like any other question. The real prompt calls exec(); a
// scripted one hands the live dialog to the test's answer instead.
class IModalDialog {
  public:
    virtual ~IModalDialog() = default;
    // A stable name tests expect it by ("server", "in-use", ...).
    virtual std::string dialog_name() const = 0;
    // Shows the dialog modally and answers its result code.
    virtual int32_t exec_modal() = 0;
    // Closes it with a result, as its buttons would.
    virtual void done_with(int32_t result) = 0;
};

// A printer the person chose (or the default one), told without any window
// system types: the caller opens it for printing itself.
struct PrinterChoice {
    std::string printer_name; // the system's printer; empty with an output file
    std::string output_file;  // pages go to this PDF file when not empty
    int32_t resolution{0};    // dots per inch; 0 takes the printer's own
};

// A component's About box: what it is, its version and its maker.
struct AboutRequest {
    std::string product;
    std::string version;
    std::string maker;
};

class IPrompt {
  public:
    virtual ~IPrompt() = default;

    virtual MsgAnswer message(const MessageRequest& request) = 0;
    // Chosen path, or nullopt when cancelled.
    virtual std::optional<std::string> choose_open_file(const FileRequest& request) = 0;
    virtual std::optional<std::string> choose_save_file(const FileRequest& request) = 0;
    virtual std::optional<std::string> choose_folder(const FolderRequest& request) = 0;
    virtual int32_t run_modal(IModalDialog& dialog) = 0;
    // Hands an address to the desktop's browser; false when nothing took it.
    virtual bool open_url(const std::string& url) = 0;
    // The default printer with the print dialog's defaults, not shown;
    // nullopt when there is none.
    virtual std::optional<PrinterChoice> default_printer() { return std::nullopt; }
    // The print dialog; nullopt when cancelled or there is no printer.
    virtual std::optional<PrinterChoice> choose_printer() { return std::nullopt; }
    // Shows a component's About box modally, centred on the desktop. A
    // prompt that cannot show one shows nothing.
    virtual void about(const AboutRequest& request) {}
};

} // namespace plat::ui
