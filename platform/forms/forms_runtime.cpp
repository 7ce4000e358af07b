#include "platform/forms/forms_runtime.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace plat::forms {

namespace {
int32_t g_pointer = Screen::kDefaultPointer;
}

int32_t Screen::MousePointer() {
    return g_pointer;
}

void Screen::SetMousePointer(int32_t pointer) {
    if (pointer == g_pointer) return;
    // One override at most, so switching back always restores the arrow.
    if (g_pointer != kDefaultPointer) QApplication::restoreOverrideCursor();
    g_pointer = pointer;
    if (pointer == kHourglass)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else if (pointer != kDefaultPointer)
        QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
}

int32_t Screen::Width() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().width() * TwipsPerPixelX : 0;
}

int32_t Screen::Height() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() * TwipsPerPixelY : 0;
}

std::string App::Path() {
    return QCoreApplication::applicationDirPath().toStdString();
}

std::string App::EXEName() {
    return QCoreApplication::applicationName().toStdString();
}

void DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

plat::ui::MsgAnswer MsgBox(plat::ui::IPrompt& prompt, const std::string& text, int32_t style,
                           const std::string& title) {
    plat::ui::MessageRequest request;
    request.text = text;
    request.caption = title.empty() ? App::EXEName() : title;
    const int32_t buttons = style & 0x7;
    request.buttons = buttons <= 5 ? static_cast<plat::ui::MsgButtons>(buttons) : plat::ui::MsgButtons::Ok;
    const int32_t icon = style & 0x70;
    request.icon = icon <= 0x40 ? static_cast<plat::ui::MsgIcon>(icon) : plat::ui::MsgIcon::None;
    request.default_button = (style & 0x300) >> 8;
    return prompt.message(request);
}

bool CommonDialog::finish(const std::optional<std::string>& chosen) {
    if (!chosen) {
        if (CancelError) throw Cancelled{};
        return false;
    }
    FileName = *chosen;
    const auto slash = FileName.find_last_of('/');
    FileTitle = slash == std::string::npos ? FileName : FileName.substr(slash + 1);
    return true;
}

bool CommonDialog::ShowOpen() {
    plat::ui::FileRequest request;
    request.title = DialogTitle;
    request.filter = Filter;
    request.filter_index = FilterIndex;
    request.initial_folder = InitDir;
    request.file_name = FileName;
    request.must_exist = true;
    return finish(m_prompt.choose_open_file(request));
}

bool CommonDialog::ShowSave() {
    plat::ui::FileRequest request;
    request.title = DialogTitle;
    request.filter = Filter;
    request.filter_index = FilterIndex;
    request.initial_folder = InitDir;
    request.file_name = FileName;
    request.overwrite_prompt = true;
    return finish(m_prompt.choose_save_file(request));
}

std::string BrowseForFolder(plat::ui::IPrompt& prompt, const std::string& title,
                            const std::string& initial_folder) {
    plat::ui::FolderRequest request;
    request.title = title;
    request.initial_folder = initial_folder;
    return prompt.choose_folder(request).value_or(std::string());
}

} // namespace plat::forms
