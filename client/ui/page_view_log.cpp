#include "client/ui/page_view_log.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/ui/artwork.h"
#include "platform/ui/ui_thread.h"

namespace klc {

CPGViewLog::CPGViewLog(WizardEnv& env) : CPGBase(env, QStringLiteral("Kestrelite Client (View Log)")) {}

void CPGViewLog::on_create() {
    QVBoxLayout* content = MakeFrame();
    m_text = new QPlainTextEdit(this);
    SetControlId(m_text, 1037);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    content->addWidget(m_text);
    // Unattended runs never show this page; their result line is written
    // once, when the program ends.
    if (Automatic()) return;
    m_result = m_env.ctx.ResultLine();
    std::optional<std::string> log = m_env.ctx.LogAvailable() ? m_env.ctx.ReadLog() : std::nullopt;
    m_text->setPlainText(QString::fromStdString(log ? *log : m_result));
    ScrollToEnd();
}

void CPGViewLog::ScrollToEnd() {
    // The run's result is the last line: it is what the reader came for.
    m_text->moveCursor(QTextCursor::End);
    m_text->moveCursor(QTextCursor::StartOfLine);
    m_text->ensureCursorVisible();
}

bool CPGViewLog::on_set_active() {
    if (Automatic()) {
        sheet()->press_button(plat::ui::PropertySheet::Finish);
        return true;
    }
    auto* cancel = sheet()->button(plat::ui::PropertySheet::Cancel);
    cancel->setText(ClientText(134));
    cancel->setEnabled(true);
    sheet()->button(plat::ui::PropertySheet::Back)->hide();
    sheet()->button(plat::ui::PropertySheet::Next)->hide();
    // Laid out only now that the page shows: scrolled once more after that.
    plat::ui::Post(this, [this] { ScrollToEnd(); });
    return true;
}

QString CPGViewLog::Text() const {
    return m_text ? m_text->toPlainText() : QString();
}

} // namespace klc
