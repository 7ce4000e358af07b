#pragma once
// The tree page: products, their updates and files, with the updates to
// install checked.
#include "client/ui/page_base.h"
#include "client/ui/product_tree.h"

class QLabel;
class QPushButton;

namespace klc {

class CPGViewTree : public CPGBase {
    Q_OBJECT
  public:
    explicit CPGViewTree(WizardEnv& env);

    void on_create() override;
    bool on_set_active() override;
    plat::ui::WizardMove on_wizard_next() override;
    bool on_query_cancel() override;
    void on_cancel() override;

    CProductTree* Tree() const { return m_tree; }
    QPushButton* DetailsButton() const { return m_details; }
    // Manufacturer, description, file count and size as shown.
    QStringList Texts() const;
    void ShowDetails();

  private:
    void Fill();
    void OnSelection(QTreeWidgetItem* item);

    CProductTree* m_tree{nullptr};
    QLabel* m_texts[4]{};
    QPushButton* m_details{nullptr};
    QString m_news;
    bool m_filled{false};
};

// The item image of a file of an update: not installed, else by its action.
int FileImage(const CFileEntry& entry, bool installs);

} // namespace klc
