#include "client/ui/settings_pages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "client/ui/artwork.h"
#include "client/ui/help_texts.h"
#include "platform/sys/environment.h"
#include "platform/sys/paths.h"

namespace klc {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QLineEdit* Edit(QWidget* parent, int id, int max_length = 256) {
    auto* e = new QLineEdit(parent);
    SetControlId(e, id);
    e->setMaxLength(max_length);
    return e;
}

QRadioButton* Radio(QWidget* parent, int id, const QString& text) {
    auto* r = new QRadioButton(text, parent);
    SetControlId(r, id);
    return r;
}

QPushButton* Browse(QWidget* parent, int id) {
    auto* b = new QPushButton(QStringLiteral("..."), parent);
    SetControlId(b, id);
    b->setFixedWidth(32);
    return b;
}

} // namespace

// ---------------------------------------------------------------- General

CPPGeneral::CPPGeneral(SettingsTargets targets) : PropertyPage(QObject::tr("General")), m_t(targets) {}

void CPPGeneral::on_create() {
    auto* layout = new QVBoxLayout(this);

    auto* folders = new QGridLayout;
    m_work = Edit(this, 1054);
    auto* work_label = new QLabel(tr("&Working folder:"), this);
    work_label->setBuddy(m_work);
    folders->addWidget(work_label, 0, 0);
    folders->addWidget(m_work, 0, 1);
    auto* work_browse = Browse(this, 1058);
    folders->addWidget(work_browse, 0, 2);
    layout->addLayout(folders);

    auto* backup_box = new QGroupBox(tr("Backup"), this);
    auto* bl = new QGridLayout(backup_box);
    const char* backup_texts[] = {"&None", "&Temporary", "&Always"};
    const int backup_ids[] = {1060, 1061, 1062};
    auto* backup_group = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        m_backup[i] = Radio(backup_box, backup_ids[i], tr(backup_texts[i]));
        backup_group->addButton(m_backup[i], i);
        bl->addWidget(m_backup[i], 0, i);
    }
    m_backup_folder = Edit(backup_box, 1063);
    m_backup_browse = Browse(backup_box, 1043);
    bl->addWidget(new QLabel(tr("Backup folder:"), backup_box), 1, 0);
    bl->addWidget(m_backup_folder, 1, 1, 1, 2);
    bl->addWidget(m_backup_browse, 1, 3);
    layout->addWidget(backup_box);

    auto* log_box = new QGroupBox(tr("Log"), this);
    auto* ll = new QGridLayout(log_box);
    const char* log_texts[] = {"N&one", "&Brief", "No&rmal", "&Full"};
    const int log_ids[] = {1057, 1029, 1030, 1059};
    auto* log_group = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        m_log[i] = Radio(log_box, log_ids[i], tr(log_texts[i]));
        log_group->addButton(m_log[i], i);
        ll->addWidget(m_log[i], 0, i);
    }
    m_log_file = Edit(log_box, 1033);
    m_log_browse = Browse(log_box, 1034);
    ll->addWidget(new QLabel(tr("Log file:"), log_box), 1, 0);
    ll->addWidget(m_log_file, 1, 1, 1, 3);
    ll->addWidget(m_log_browse, 1, 4);
    layout->addWidget(log_box);

    auto* bottom = new QHBoxLayout;
    m_passive = new QCheckBox(tr("FTP &passive mode"), this);
    SetControlId(m_passive, 1027);
    bottom->addWidget(m_passive);
    bottom->addStretch(1);
    m_timeout = Edit(this, 1038, 9);
    auto* timeout_label = new QLabel(tr("T&ime-out (seconds):"), this);
    timeout_label->setBuddy(m_timeout);
    bottom->addWidget(timeout_label);
    m_timeout->setValidator(new QIntValidator(0, 2147483, m_timeout));
    m_timeout->setFixedWidth(80);
    bottom->addWidget(m_timeout);
    layout->addLayout(bottom);
    layout->addStretch(1);

    // What the run uses now.
    m_shown.temp_folder = Q(m_t.ctx.temporary_folder);
    m_shown.timeout_s = m_t.run.request_timeout / 1000;
    m_shown.passive = m_t.run.ftp_passive != 0;
    m_shown.backup_mode = std::clamp(m_t.ctx.backup_mode, 0, 2);
    m_shown.backup_folder = Q(m_t.ctx.backup_folder);
    m_shown.log_level = std::clamp(m_t.ctx.log_level, 0, 3);
    m_shown.log_file = Q(m_t.ctx.log_file);
    m_work->setText(m_shown.temp_folder);
    m_timeout->setText(QString::number(m_shown.timeout_s));
    m_passive->setChecked(m_shown.passive);
    m_backup[m_shown.backup_mode]->setChecked(true);
    m_backup_folder->setText(m_shown.backup_folder);
    m_log[m_shown.log_level]->setChecked(true);
    m_log_file->setText(m_shown.log_file);
    EnableFields();

    auto changed = [this] {
        EnableFields();
        set_modified();
    };
    for (QLineEdit* e : {m_work, m_backup_folder, m_log_file, m_timeout})
        connect(e, &QLineEdit::textEdited, this, changed);
    connect(m_passive, &QCheckBox::toggled, this, changed);
    connect(backup_group, &QButtonGroup::idToggled, this, changed);
    connect(log_group, &QButtonGroup::idToggled, this, changed);
    connect(work_browse, &QPushButton::clicked, this, [this] { BrowseWorkFolder(); });
    connect(m_backup_browse, &QPushButton::clicked, this, [this] { BrowseBackupFolder(); });
    connect(m_log_browse, &QPushButton::clicked, this, [this] { ChooseLogFile(); });
}

void CPPGeneral::EnableFields() {
    bool backup = !m_backup[0]->isChecked();
    m_backup_folder->setEnabled(backup);
    m_backup_browse->setEnabled(backup);
    bool log = !m_log[0]->isChecked();
    m_log_file->setEnabled(log);
    m_log_browse->setEnabled(log);
}

CPPGeneral::Shown CPPGeneral::Current() const {
    Shown s;
    s.temp_folder = m_work->text();
    s.timeout_s = m_timeout->text().toInt();
    s.passive = m_passive->isChecked();
    for (int i = 0; i < 3; ++i)
        if (m_backup[i]->isChecked()) s.backup_mode = i;
    s.backup_folder = m_backup_folder->text();
    for (int i = 0; i < 4; ++i)
        if (m_log[i]->isChecked()) s.log_level = i;
    s.log_file = m_log_file->text();
    return s;
}

bool CPPGeneral::on_apply() {
    Shown now = Current();
    // Only what the person changed here reaches the stored settings.
    if (now.temp_folder != m_shown.temp_folder)
        m_t.ctx.temporary_folder = m_t.stored.temp_folder = now.temp_folder.toStdString();
    if (now.timeout_s != m_shown.timeout_s)
        m_t.run.request_timeout = m_t.stored.connection.request_timeout = now.timeout_s * 1000;
    if (now.passive != m_shown.passive)
        m_t.run.ftp_passive = m_t.stored.connection.ftp_passive = now.passive ? 1 : 0;
    if (now.log_level != m_shown.log_level) m_t.ctx.log_level = m_t.stored.log_level = now.log_level;
    if (now.log_file != m_shown.log_file) m_t.ctx.log_file = m_t.stored.log_file = now.log_file.toStdString();
    if (now.backup_mode != m_shown.backup_mode)
        m_t.ctx.backup_mode = m_t.stored.backup_mode = now.backup_mode;
    if (now.backup_folder != m_shown.backup_folder) m_t.ctx.backup_folder = now.backup_folder.toStdString();
    m_shown = now;
    set_modified(false);
    return true;
}

void CPPGeneral::BrowseWorkFolder() {
    plat::ui::FolderRequest r{ClientText(130).toStdString(),
                              plat::expand_environment(m_work->text().toStdString())};
    if (auto path = m_t.prompt.choose_folder(r)) {
        m_work->setText(Q(*path));
        set_modified();
    }
}

void CPPGeneral::BrowseBackupFolder() {
    plat::ui::FolderRequest r{ClientText(130).toStdString(),
                              plat::expand_environment(m_backup_folder->text().toStdString())};
    if (auto path = m_t.prompt.choose_folder(r)) {
        m_backup_folder->setText(Q(*path));
        set_modified();
    }
}

void CPPGeneral::ChooseLogFile() {
    plat::ui::FileRequest r;
    r.title = tr("Log file").toStdString();
    r.filter = "KLClient log file (*.log);;All files (*)";
    r.file_name = m_t.ctx.LogFilePath(m_log_file->text().toStdString());
    r.overwrite_prompt = true;
    if (auto path = m_t.prompt.choose_save_file(r)) {
        std::string chosen = *path;
        if (plat::file_name(chosen).find('.') == std::string::npos) chosen += ".log";
        m_log_file->setText(Q(chosen));
        set_modified();
    }
}

// ---------------------------------------------------------------- Proxy

CPPConnect::CPPConnect(SettingsTargets targets) : PropertyPage(QObject::tr("Proxy")), m_t(targets) {}

void CPPConnect::on_create() {
    auto* layout = new QVBoxLayout(this);
    m_direct = Radio(this, 1020, tr("Use direct &connection"));
    m_default = Radio(this, 1055, tr("Use &default proxy"));
    m_custom = Radio(this, 1021, tr("&Use custom proxy settings"));
    auto* group = new QButtonGroup(this);
    group->addButton(m_direct, PROXY_DIRECT);
    group->addButton(m_default, PROXY_SYSTEM);
    group->addButton(m_custom, PROXY_NAMED);
    layout->addWidget(m_direct);
    layout->addWidget(m_default);
    layout->addWidget(m_custom);

    m_group = new QGroupBox(tr("Proxy servers"), this);
    SetControlId(m_group, 1049);
    auto* grid = new QGridLayout(m_group);
    const int ids[] = {1022, 1023, 1024, 1025, 1026, 1028, 1031, 1032};
    for (int i = 0; i < 8; ++i)
        m_fields[i] = Edit(m_group, ids[i], 255);
    for (int port : {1, 3}) {
        m_fields[port]->setValidator(new QIntValidator(0, 65535, m_fields[port]));
        m_fields[port]->setFixedWidth(70);
    }
    for (int pw : {5, 7})
        m_fields[pw]->setEchoMode(QLineEdit::Password);
    // A proxy's host name is the longest text here: the address fields take
    // the width the ports leave, and never less than a usual host name.
    for (int address : {0, 2})
        m_fields[address]->setMinimumWidth(
            m_fields[address]->fontMetrics().horizontalAdvance(QStringLiteral("proxy.department.example.com")));
    grid->addWidget(new QLabel(tr("FTP:"), m_group), 0, 0);
    grid->addWidget(m_fields[0], 0, 1);
    grid->addWidget(new QLabel(tr("Port:"), m_group), 0, 2);
    grid->addWidget(m_fields[1], 0, 3);
    grid->addWidget(new QLabel(tr("HTTP:"), m_group), 1, 0);
    grid->addWidget(m_fields[2], 1, 1);
    grid->addWidget(new QLabel(tr("Port:"), m_group), 1, 2);
    grid->addWidget(m_fields[3], 1, 3);
    grid->addWidget(new QLabel(tr("FTP user name:"), m_group), 2, 0);
    grid->addWidget(m_fields[4], 2, 1);
    grid->addWidget(new QLabel(tr("Password:"), m_group), 2, 2);
    grid->addWidget(m_fields[5], 2, 3);
    grid->addWidget(new QLabel(tr("HTTP user name:"), m_group), 3, 0);
    grid->addWidget(m_fields[6], 3, 1);
    grid->addWidget(new QLabel(tr("Password:"), m_group), 3, 2);
    grid->addWidget(m_fields[7], 3, 3);
    grid->setColumnStretch(1, 1);
    layout->addWidget(m_group);
    layout->addStretch(1);

    m_shown = m_t.run;
    const ConnectionSettings& c = m_shown;
    (c.proxy_mode == PROXY_DIRECT  ? m_direct
     : c.proxy_mode == PROXY_NAMED ? m_custom
                                   : m_default)
        ->setChecked(true);
    m_fields[0]->setText(Q(c.ftp_proxy_server));
    m_fields[1]->setText(QString::number(c.ftp_proxy_port));
    m_fields[2]->setText(Q(c.http_proxy_server));
    m_fields[3]->setText(QString::number(c.http_proxy_port));
    m_fields[4]->setText(Q(c.ftp_proxy_user));
    m_fields[5]->setText(Q(c.ftp_proxy_password));
    m_fields[6]->setText(Q(c.http_proxy_user));
    m_fields[7]->setText(Q(c.http_proxy_password));
    EnableFields();
    connect(group, &QButtonGroup::idToggled, this, [this] {
        EnableFields();
        set_modified();
    });
    for (QLineEdit* e : m_fields)
        connect(e, &QLineEdit::textEdited, this, [this] { set_modified(); });
}

void CPPConnect::EnableFields() {
    m_group->setEnabled(m_custom->isChecked());
}

ConnectionSettings CPPConnect::Current() const {
    ConnectionSettings c = m_shown;
    c.proxy_mode = m_direct->isChecked() ? PROXY_DIRECT : m_custom->isChecked() ? PROXY_NAMED : PROXY_SYSTEM;
    c.ftp_proxy_server = m_fields[0]->text().toStdString();
    c.ftp_proxy_port = m_fields[1]->text().toInt();
    c.http_proxy_server = m_fields[2]->text().toStdString();
    c.http_proxy_port = m_fields[3]->text().toInt();
    c.ftp_proxy_user = m_fields[4]->text().toStdString();
    c.ftp_proxy_password = m_fields[5]->text().toStdString();
    c.http_proxy_user = m_fields[6]->text().toStdString();
    c.http_proxy_password = m_fields[7]->text().toStdString();
    return c;
}

bool CPPConnect::on_apply() {
    ConnectionSettings now = Current();
    ConnectionSettings& run = m_t.run;
    ConnectionSettings& stored = m_t.stored.connection;
    auto take = [](auto& shown, const auto& value, auto& a, auto& b) {
        if (value != shown) a = b = value;
    };
    take(m_shown.proxy_mode, now.proxy_mode, run.proxy_mode, stored.proxy_mode);
    take(m_shown.ftp_proxy_server, now.ftp_proxy_server, run.ftp_proxy_server, stored.ftp_proxy_server);
    take(m_shown.ftp_proxy_port, now.ftp_proxy_port, run.ftp_proxy_port, stored.ftp_proxy_port);
    take(m_shown.http_proxy_server, now.http_proxy_server, run.http_proxy_server, stored.http_proxy_server);
    take(m_shown.http_proxy_port, now.http_proxy_port, run.http_proxy_port, stored.http_proxy_port);
    take(m_shown.ftp_proxy_user, now.ftp_proxy_user, run.ftp_proxy_user, stored.ftp_proxy_user);
    take(m_shown.ftp_proxy_password, now.ftp_proxy_password, run.ftp_proxy_password,
         stored.ftp_proxy_password);
    take(m_shown.http_proxy_user, now.http_proxy_user, run.http_proxy_user, stored.http_proxy_user);
    take(m_shown.http_proxy_password, now.http_proxy_password, run.http_proxy_password,
         stored.http_proxy_password);
    m_shown = now;
    set_modified(false);
    return true;
}

// ---------------------------------------------------------------- sheet

std::unique_ptr<plat::ui::PropertySheet> MakeSettingsSheet(SettingsTargets targets, QWidget* parent) {
    auto sheet = std::make_unique<plat::ui::PropertySheet>(ClientText(129),
                                                           plat::ui::PropertySheet::Mode::Normal, parent);
    sheet->add_page(new CPPGeneral(targets));
    sheet->add_page(new CPPConnect(targets));
    plat::ui::PropertySheet* s = sheet.get();
    QObject::connect(s, &plat::ui::PropertySheet::page_activated, s,
                     [s](int i) { ApplyWhatsThis(s->page(i)); });
    sheet->set_active_page(0);
    return sheet;
}

int32_t SettingsSheetDialog::exec_modal() {
    return m_sheet.exec();
}

void SettingsSheetDialog::done_with(int32_t result) {
    if (result == QDialog::Accepted)
        m_sheet.press_button(plat::ui::PropertySheet::Ok);
    else
        m_sheet.press_button(plat::ui::PropertySheet::Cancel);
}

} // namespace klc
