#pragma once
// The last page: the result line and the whole log.
#include "client/ui/page_base.h"

class QPlainTextEdit;

namespace klc {

class CPGViewLog : public CPGBase {
    Q_OBJECT
  public:
    explicit CPGViewLog(WizardEnv& env);

    void on_create() override;
    bool on_set_active() override;

    QString Text() const;
    const std::string& Result() const { return m_result; }

  private:
    void ScrollToEnd();

    QPlainTextEdit* m_text{nullptr};
    std::string m_result;
};

} // namespace klc
