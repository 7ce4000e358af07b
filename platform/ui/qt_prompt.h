#pragma once
// The real prompt: Qt message boxes, file and folder choosers, and our own
// dialogs run modally.
#include <QPointer>
#include <QWidget>

#include "platform/ui/prompt.h"

namespace plat::ui {

class QtPrompt : public IPrompt {
  public:
    explicit QtPrompt(QWidget* parent = nullptr) : m_parent(parent) {}
    void set_parent(QWidget* parent) { m_parent = parent; }

    MsgAnswer message(const MessageRequest& request) override;
    std::optional<std::string> choose_open_file(const FileRequest& request) override;
    std::optional<std::string> choose_save_file(const FileRequest& request) override;
    std::optional<std::string> choose_folder(const FolderRequest& request) override;
    int32_t run_modal(IModalDialog& dialog) override;
    bool open_url(const std::string& url) override;
    std::optional<PrinterChoice> default_printer() override;
    std::optional<PrinterChoice> choose_printer() override;
    void about(const AboutRequest& request) override;

  private:
    QPointer<QWidget> m_parent;
};

// The platform's filter form "Text (*.txt)|*.txt|All (*.*)|*.*|" as Qt's
// "Text (*.txt);;All (*)".
QString QtFileFilter(const std::string& filter);

} // namespace plat::ui
