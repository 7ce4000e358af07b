#pragma once
// The settings sheet: the General page (folders, backup, log, FTP mode,
// time-out) and the Proxy page. A page's changes go into this run and into
// the stored settings; values a switch set for this run alone stay out of
// the stored ones unless the person changes them here.
#include <memory>

#include "client/engine/context.h"
#include "client/ui/settings.h"
#include "platform/ui/prompt.h"
#include "platform/ui/property_sheet.h"

class QLineEdit;
class QRadioButton;
class QCheckBox;
class QPushButton;
class QGroupBox;

namespace klc {

struct SettingsTargets {
    CClientContext& ctx;
    ConnectionSettings& run;
    ClientSettings& stored;
    plat::ui::IPrompt& prompt;
};

class CPPGeneral : public plat::ui::PropertyPage {
    Q_OBJECT
  public:
    explicit CPPGeneral(SettingsTargets targets);

    void on_create() override;
    bool on_apply() override;

    void BrowseWorkFolder();
    void BrowseBackupFolder();
    void ChooseLogFile();

  private:
    void EnableFields();

    SettingsTargets m_t;
    struct Shown {
        QString temp_folder;
        int timeout_s{0};
        bool passive{false};
        int backup_mode{0};
        QString backup_folder;
        int log_level{0};
        QString log_file;
    } m_shown;
    Shown Current() const;

    QLineEdit* m_work{nullptr};
    QLineEdit* m_backup_folder{nullptr};
    QLineEdit* m_log_file{nullptr};
    QLineEdit* m_timeout{nullptr};
    QCheckBox* m_passive{nullptr};
    QRadioButton* m_backup[3]{};
    QRadioButton* m_log[4]{};
    QPushButton* m_backup_browse{nullptr};
    QPushButton* m_log_browse{nullptr};
};

class CPPConnect : public plat::ui::PropertyPage {
    Q_OBJECT
  public:
    explicit CPPConnect(SettingsTargets targets);

    void on_create() override;
    bool on_apply() override;

  private:
    void EnableFields();

    SettingsTargets m_t;
    ConnectionSettings m_shown;
    ConnectionSettings Current() const;

    QRadioButton* m_direct{nullptr};
    QRadioButton* m_default{nullptr};
    QRadioButton* m_custom{nullptr};
    QGroupBox* m_group{nullptr};
    QLineEdit* m_fields[8]{};
};

// The sheet itself, caption string 129, General then Proxy.
std::unique_ptr<plat::ui::PropertySheet> MakeSettingsSheet(SettingsTargets targets,
                                                           QWidget* parent = nullptr);

// Runs the sheet modally through the prompt, so tests can answer it.
class SettingsSheetDialog : public plat::ui::IModalDialog {
  public:
    explicit SettingsSheetDialog(plat::ui::PropertySheet& sheet) : m_sheet(sheet) {}
    std::string dialog_name() const override { return "settings"; }
    int32_t exec_modal() override;
    void done_with(int32_t result) override;
    plat::ui::PropertySheet& Sheet() { return m_sheet; }

  private:
    plat::ui::PropertySheet& m_sheet;
};

} // namespace klc
