#include "platform/ui/qt_prompt.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QtPrintSupport/QPrintDialog>
#include <QtPrintSupport/QPrinter>
#include <QtPrintSupport/QPrinterInfo>
#include <vector>

namespace plat::ui {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

struct ButtonSpec {
    QMessageBox::StandardButton qt;
    MsgAnswer answer;
};

std::vector<ButtonSpec> ButtonsOf(MsgButtons b) {
    using B = QMessageBox;
    switch (b) {
    case MsgButtons::Ok:
        return {{B::Ok, MsgAnswer::Ok}};
    case MsgButtons::OkCancel:
        return {{B::Ok, MsgAnswer::Ok}, {B::Cancel, MsgAnswer::Cancel}};
    case MsgButtons::AbortRetryIgnore:
        return {{B::Abort, MsgAnswer::Abort}, {B::Retry, MsgAnswer::Retry}, {B::Ignore, MsgAnswer::Ignore}};
    case MsgButtons::YesNoCancel:
        return {{B::Yes, MsgAnswer::Yes}, {B::No, MsgAnswer::No}, {B::Cancel, MsgAnswer::Cancel}};
    case MsgButtons::YesNo:
        return {{B::Yes, MsgAnswer::Yes}, {B::No, MsgAnswer::No}};
    case MsgButtons::RetryCancel:
        return {{B::Retry, MsgAnswer::Retry}, {B::Cancel, MsgAnswer::Cancel}};
    }
    return {{B::Ok, MsgAnswer::Ok}};
}

QMessageBox::Icon IconOf(MsgIcon i) {
    switch (i) {
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString QtFileFilter(const std::string& filter) {
    // A filter already in Qt's form passes as it is.
    if (filter.find('|') == std::string::npos) return Q(filter);
    QStringList parts = Q(filter).split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) continue;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        patterns.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        QString label = parts[i];
        label.replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
        out << (label.contains(QLatin1Char('(')) ? label : QStringLiteral("%1 (%2)").arg(label, patterns));
    }
    return out.join(QStringLiteral(";;"));
}

MsgAnswer QtPrompt::message(const MessageRequest& r) {
    QMessageBox box(IconOf(r.icon), Q(r.caption), Q(r.text), QMessageBox::NoButton, m_parent);
    std::vector<ButtonSpec> specs = ButtonsOf(r.buttons);
    for (const ButtonSpec& s : specs)
        box.addButton(s.qt);
    size_t def = static_cast<size_t>(std::max(0, r.default_button));
    if (def < specs.size()) box.setDefaultButton(specs[def].qt);
    // Escape gives the cancelling answer where the box has one.
    for (const ButtonSpec& s : specs)
        if (s.answer == MsgAnswer::Cancel || s.answer == MsgAnswer::No) box.setEscapeButton(s.qt);
    box.exec();
    auto* clicked = box.clickedButton();
    for (const ButtonSpec& s : specs)
        if (clicked == box.button(s.qt)) return s.answer;
    return specs.size() == 1 ? specs[0].answer : MsgAnswer::Cancel;
}

void QtPrompt::about(const AboutRequest& r) {
    // No parent: the box stands on its own, centred on the desktop.
    QMessageBox box(QMessageBox::Information, Q("About " + r.product),
                    Q(r.product + "\nVersion " + r.version + "\n" + r.maker), QMessageBox::Ok);
    box.exec();
}

std::optional<std::string> QtPrompt::choose_open_file(const FileRequest& r) {
    QString start = Q(r.file_name.empty() ? r.initial_folder : r.file_name);
    QString path = QFileDialog::getOpenFileName(m_parent, Q(r.title), start, QtFileFilter(r.filter));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

std::optional<std::string> QtPrompt::choose_save_file(const FileRequest& r) {
    QString start = Q(r.file_name.empty() ? r.initial_folder : r.file_name);
    QFileDialog::Options options;
    if (!r.overwrite_prompt) options |= QFileDialog::DontConfirmOverwrite;
    QString path =
        QFileDialog::getSaveFileName(m_parent, Q(r.title), start, QtFileFilter(r.filter), nullptr, options);
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

std::optional<std::string> QtPrompt::choose_folder(const FolderRequest& r) {
    QString path = QFileDialog::getExistingDirectory(m_parent, Q(r.title), Q(r.initial_folder));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

int32_t QtPrompt::run_modal(IModalDialog& dialog) {
    return dialog.exec_modal();
}

bool QtPrompt::open_url(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(Q(url)));
}

std::optional<PrinterChoice> QtPrompt::default_printer() {
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) return std::nullopt;
    return PrinterChoice{info.printerName().toStdString(), {}, 0};
}

std::optional<PrinterChoice> QtPrompt::choose_printer() {
    QPrinter printer;
    QPrintDialog dialog(&printer, m_parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    PrinterChoice choice;
    if (printer.outputFormat() == QPrinter::PdfFormat)
        choice.output_file = printer.outputFileName().toStdString();
    else
        choice.printer_name = printer.printerName().toStdString();
    choice.resolution = printer.resolution();
    return choice;
}

} // namespace plat::ui
