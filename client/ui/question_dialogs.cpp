#include "client/ui/question_dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "client/engine/host.h"
#include "client/ui/artwork.h"
#include "client/ui/fitted_label.h"

namespace klc {
namespace {

constexpr int kQuestionLines = 12;

} // namespace

CQuestionDlg::CQuestionDlg(std::string name, const QString& question, std::vector<ButtonSpec> buttons,
                           int cancel_answer, QWidget* parent)
    : QDialog(parent), m_name(std::move(name)), m_cancel_answer(cancel_answer) {
    setWindowTitle(QStringLiteral("KLClient"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(this);
    SetControlId(icon, 1067);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    top->addWidget(icon);
    // The question names files and folders, whose paths may be longer than
    // the screen is wide: they wrap anywhere, within a bounded height.
    auto* text = new CFittedLabel(kQuestionLines, this);
    text->SetHeightToText(true);
    text->setText(question);
    SetControlId(text, 106);
    text->setMinimumWidth(320);
    top->addWidget(text, 1);
    layout->addLayout(top);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (const ButtonSpec& b : buttons) {
        auto* button = new QPushButton(b.text, this);
        button->setObjectName(QStringLiteral("answer%1").arg(b.answer));
        button->setDefault(b.is_default);
        button->setAutoDefault(b.is_default);
        int answer = b.answer;
        connect(button, &QPushButton::clicked, this, [this, answer] { done(answer); });
        row->addWidget(button);
    }
    layout->addLayout(row);
}

QPushButton* CQuestionDlg::Button(int answer) const {
    return findChild<QPushButton*>(QStringLiteral("answer%1").arg(answer));
}

CFileInUseDlg::CFileInUseDlg(const QString& question, QWidget* parent)
    : CQuestionDlg("in-use", question,
                   {{tr("&Retry"), IN_USE_RETRY, true},
                    {tr("Copy on &reboot"), IN_USE_COPY_ON_RESTART, false},
                    {tr("&Skip"), IN_USE_SKIP, false},
                    {tr("Cancel"), IN_USE_CANCEL, false}},
                   IN_USE_SKIP, parent) {}

CConfirmOverwriteDlg::CConfirmOverwriteDlg(const QString& question, QWidget* parent)
    : CQuestionDlg("backup-exists", question,
                   {{tr("&Yes"), OVERWRITE_YES, false},
                    {tr("Yes for &all"), OVERWRITE_YES_FOR_ALL, false},
                    {tr("&No"), OVERWRITE_NO, true},
                    {tr("&Terminate"), OVERWRITE_TERMINATE, false}},
                   OVERWRITE_TERMINATE, parent) {}

} // namespace klc
