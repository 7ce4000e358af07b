#include "platform/ui/qt_prompt.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QUrl>
#include <QtPrintSupport/QPrintDialog>
#include <QtPrintSupport/QPrinter>
#include <QtPrintSupport/QPrinterInfo>
#include <algorithm>
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

// Gives the keyboard back once a dialog closes: to the modal window still
// open below it, or else to the window the dialog stood over. Window
// managers do this for a closed transient window; without one (a bare X
// display, some kiosk sessions) the keys would go nowhere until the person
// clicks into the window.
class ReturnKeyboard {
  public:
    explicit ReturnKeyboard(QWidget* parent) : m_window(parent ? parent->window() : nullptr) {}
    ~ReturnKeyboard() {
        QWidget* target = QApplication::activeModalWidget();
        if (!target) target = m_window;
        if (target && target->isVisible()) target->activateWindow();
    }
    ReturnKeyboard(const ReturnKeyboard&) = delete;
    ReturnKeyboard& operator=(const ReturnKeyboard&) = delete;

  private:
    QPointer<QWidget> m_window;
};

const QString kProgramsFilter = QStringLiteral("Programs (*)");

// Narrows the chooser's list to folders and files one may run while the
// "Programs" choice is selected; name patterns cannot say that.
class ProgramsOnly : public QSortFilterProxyModel {
  public:
    explicit ProgramsOnly(QFileDialog* dialog) : QSortFilterProxyModel(dialog), m_dialog(dialog) {
        QObject::connect(dialog, &QFileDialog::filterSelected, this, [this] { invalidateFilter(); });
    }

  protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        if (m_dialog->selectedNameFilter() != kProgramsFilter) return true;
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files) return true;
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        return info.isDir() || info.isExecutable();
    }

  private:
    QFileDialog* m_dialog;
};

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
        // Qt reads the patterns from the label's parentheses, separated by
        // spaces: the label's own list is replaced by the patterns that match.
        QString label = parts[i];
        const qsizetype open = label.lastIndexOf(QLatin1Char('('));
        if (open >= 0 && label.endsWith(QLatin1Char(')'))) label = label.left(open).trimmed();
        out << QStringLiteral("%1 (%2)").arg(label, patterns);
    }
    return out.join(QStringLiteral(";;"));
}

MsgAnswer QtPrompt::message(const MessageRequest& r) {
    ReturnKeyboard back(m_parent);
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
    ReturnKeyboard back(m_parent);
    // No parent: the box stands on its own, centred on the desktop.
    QMessageBox box(QMessageBox::Information, Q("About " + r.product),
                    Q(r.product + "\nVersion " + r.version + "\n" + r.maker), QMessageBox::Ok);
    box.exec();
}

namespace {

// Room for whole sizes, types and dates: the detail columns take the width
// of what they show and the name takes the rest.
void FitDetailColumns(QFileDialog& dialog) {
    dialog.resize(std::max(dialog.width(), 820), std::max(dialog.height(), 500));
    if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
}

} // namespace

void ConfigureFileDialog(QFileDialog& dialog, const FileRequest& r, bool save) {
    // Our own chooser on every desktop: its filters match names regardless
    // of letter case, so "Untitled.KLD" shows under *.kld.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    FitDetailColumns(dialog);
    dialog.setWindowTitle(Q(r.title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save || !r.must_exist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(save && r.overwrite_prompt));
    QStringList filters = QtFileFilter(r.filter).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    if (r.programs && !save) {
        filters.prepend(kProgramsFilter);
        if (!dynamic_cast<ProgramsOnly*>(dialog.proxyModel()))
            dialog.setProxyModel(new ProgramsOnly(&dialog));
    }
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = std::clamp(r.filter_index, 1, static_cast<int>(filters.size())) - 1;
        dialog.selectNameFilter(filters[index]);
    }
    if (!r.initial_folder.empty()) dialog.setDirectory(Q(r.initial_folder));
    if (!r.file_name.empty()) dialog.selectFile(Q(r.file_name));
}

namespace {

std::optional<std::string> RunFileDialog(QWidget* parent, const FileRequest& r, bool save) {
    ReturnKeyboard back(parent);
    QFileDialog dialog(parent);
    ConfigureFileDialog(dialog, r, save);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

} // namespace

std::optional<std::string> QtPrompt::choose_open_file(const FileRequest& r) {
    return RunFileDialog(m_parent, r, false);
}

std::optional<std::string> QtPrompt::choose_save_file(const FileRequest& r) {
    return RunFileDialog(m_parent, r, true);
}

std::optional<std::string> QtPrompt::choose_folder(const FolderRequest& r) {
    ReturnKeyboard back(m_parent);
    QFileDialog dialog(m_parent, Q(r.title), Q(r.initial_folder));
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    FitDetailColumns(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

int32_t QtPrompt::run_modal(IModalDialog& dialog) {
    ReturnKeyboard back(m_parent);
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
    ReturnKeyboard back(m_parent);
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
