#include "client/ui/server_location_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/ui/artwork.h"

namespace klc {

CServerLocationDlg::CServerLocationDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("KLClient"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_name = new QLineEdit(this);
    SetControlId(m_name, 1068);
    m_name->setMaxLength(64);
    m_url = new QLineEdit(this);
    SetControlId(m_url, 1069);
    m_url->setMaxLength(255);
    m_url->setMinimumWidth(320);
    form->addRow(tr("Server &name:"), m_name);
    form->addRow(tr("Catalogue &URL:"), m_url);
    layout->addLayout(form);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    m_add = new QPushButton(tr("&Add"), this);
    m_add->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    row->addWidget(m_add);
    row->addWidget(cancel);
    layout->addLayout(row);
    connect(m_add, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto enable = [this] { m_add->setEnabled(!m_name->text().isEmpty() && !m_url->text().isEmpty()); };
    connect(m_name, &QLineEdit::textChanged, this, enable);
    connect(m_url, &QLineEdit::textChanged, this, enable);
    enable();
}

QString CServerLocationDlg::Name() const {
    return m_name->text();
}

QString CServerLocationDlg::Url() const {
    return m_url->text();
}

} // namespace klc
