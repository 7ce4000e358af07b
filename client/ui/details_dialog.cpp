#include "client/ui/details_dialog.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/ui/artwork.h"

namespace klc {

CDetailsDlg::CDetailsDlg(const QString& text, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("KLClient"));
    auto* layout = new QVBoxLayout(this);
    auto* edit = new QPlainTextEdit(this);
    SetControlId(edit, 1013);
    edit->setReadOnly(true);
    edit->setPlainText(text);
    edit->setMinimumSize(420, 240);
    layout->addWidget(edit);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* close = new QPushButton(tr("Close"), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    row->addWidget(close);
    layout->addLayout(row);
}

} // namespace klc
