#pragma once
// The first page: the welcome text and the choice of a server.
#include <vector>

#include "client/ui/page_base.h"

class QComboBox;
class QPlainTextEdit;

namespace klc {

class CPGMain : public CPGBase {
    Q_OBJECT
  public:
    enum Command { CMD_NO_SERVER = 3001, CMD_SPECIFY_URL = 3002 };

    explicit CPGMain(WizardEnv& env);

    void on_create() override;
    bool on_set_active() override;
    plat::ui::WizardMove on_wizard_next() override;
    plat::ui::WizardMove on_wizard_back() override;
    bool on_query_cancel() override;

    QComboBox* Servers() const { return m_combo; }
    const std::vector<CServerEntry>& ServerEntries() const { return m_servers; }
    QString WelcomeText() const;

  private:
    void NoServer();
    void SpecifyUrl();

    QComboBox* m_combo{nullptr};
    QPlainTextEdit* m_welcome{nullptr};
    std::vector<CServerEntry> m_servers;
    bool m_filling{false};
};

} // namespace klc
