#include "client/ui/page_view_tree.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "client/ui/artwork.h"
#include "client/ui/details_dialog.h"
#include "client/ui/fitted_label.h"
#include "client/ui/select_updates.h"
#include "client/ui/sheet.h"
#include "platform/sys/paths.h"

namespace klc {
namespace {

constexpr int kDescriptionLines = 3;

} // namespace

int FileImage(const CFileEntry& entry, bool installs) {
    if (!installs) return 3;
    switch (entry.action) {
    case ACTION_RENAME:
        return 7;
    case ACTION_REMOVE:
        return 6;
    case ACTION_COPY_RUN_WAIT:
    case ACTION_COPY_RUN:
        return 5;
    case ACTION_COPY_REGISTER:
        return 4;
    default:
        return 2;
    }
}

CPGViewTree::CPGViewTree(WizardEnv& env)
    : CPGBase(env, QStringLiteral("Kestrelite Client (Products Tree)")) {}

void CPGViewTree::on_create() {
    QVBoxLayout* content = MakeFrame();
    auto* prompt = new QLabel(QStringLiteral("Select the product updates you wish to install:"), this);
    SetControlId(prompt, 1052);
    content->addWidget(prompt);
    m_tree = new CProductTree(this);
    SetControlId(m_tree, 1010);
    plat::ui::ImageStrip items = ItemImages();
    for (const QImage& icon : m_env.icons.Images())
        items.add(icon);
    m_tree->SetImages(StateImages(), std::move(items));
    content->addWidget(m_tree, 1);

    auto* form = new QFormLayout;
    const int ids[] = {1039, 1040, 1005, 1044};
    const char* names[] = {"Manufacturer:", "Description:", "Files:", "Size:"};
    for (int i = 0; i < 4; ++i) {
        // The vendor's texts may be long (a description keeps up to 255
        // characters): they wrap and elide instead of widening the wizard.
        m_texts[i] = new CFittedLabel(i == 1 ? kDescriptionLines : 1, this);
        SetControlId(m_texts[i], ids[i]);
        form->addRow(tr(names[i]), m_texts[i]);
    }
    auto* row = new QHBoxLayout;
    row->addLayout(form, 1);
    m_details = new QPushButton(tr("&Details..."), this);
    SetControlId(m_details, 1042);
    m_details->setEnabled(false);
    row->addWidget(m_details, 0, Qt::AlignBottom);
    content->addLayout(row);
    connect(m_details, &QPushButton::clicked, this, [this] { ShowDetails(); });
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { OnSelection(item); });
}

void CPGViewTree::Fill() {
    m_tree->clear();
    CCatalogue& cat = m_env.catalogue;
    for (size_t p = 0; p < cat.products.size(); ++p) {
        CProduct& product = cat.products[p];
        QTreeWidgetItem* root = m_tree->AddItem(nullptr, QString::fromStdString(product.name), 0,
                                                STATE_UNCHECKED, {static_cast<int>(p), -1, -1});
        bool any_checked = false;
        for (size_t u = 0; u < product.updates.size(); ++u) {
            CUpdate& update = product.updates[u];
            bool checked = UpdatePassesFilters(m_env.ctx, product, u);
            any_checked = any_checked || checked;
            QTreeWidgetItem* item = m_tree->AddItem(
                root, QString::fromStdString(update.name), update.image_index,
                checked ? STATE_CHECKED : STATE_UNCHECKED, {static_cast<int>(p), static_cast<int>(u), -1});
            for (size_t f = 0; f < update.files.size(); ++f) {
                CFileEntry& file = update.files[f];
                m_tree->AddItem(item, QString::fromStdString(file.file_name),
                                FileImage(file, file.ShouldInstall(m_env.ctx)), STATE_NONE,
                                {static_cast<int>(p), static_cast<int>(u), static_cast<int>(f)});
            }
        }
        m_tree->UpdateParentState(root);
        root->setExpanded(any_checked);
    }
    m_filled = true;
}

bool CPGViewTree::on_set_active() {
    if (!m_env.ctx.script_text.empty()) return false;
    // Filled when first shown: only then is the catalogue loaded.
    if (!m_filled) Fill();
    auto* next = sheet()->button(plat::ui::PropertySheet::Next);
    next->setEnabled(true);
    next->show();
    sheet()->button(plat::ui::PropertySheet::Back)->hide();
    return true;
}

QStringList CPGViewTree::Texts() const {
    QStringList out;
    for (QLabel* l : m_texts)
        out << (l ? l->text() : QString());
    return out;
}

void CPGViewTree::OnSelection(QTreeWidgetItem* item) {
    for (QLabel* l : m_texts)
        l->clear();
    m_details->setEnabled(false);
    m_news.clear();
    if (!item) return;
    TreePosition pos = CProductTree::Position(item);
    CCatalogue& cat = m_env.catalogue;
    if (pos.product < 0 || static_cast<size_t>(pos.product) >= cat.products.size()) return;
    CProduct& product = cat.products[static_cast<size_t>(pos.product)];
    if (pos.level() == 0) {
        int64_t files = 0, size = 0;
        for (const CUpdate& u : product.updates)
            for (const CFileEntry& f : u.files) {
                ++files;
                size += f.size;
            }
        m_texts[0]->setText(QStringLiteral("------ // ------"));
        m_texts[1]->setText(QStringLiteral("------ // ------"));
        m_texts[2]->setText(QString::number(files));
        m_texts[3]->setText(QString::number(size));
        return;
    }
    if (static_cast<size_t>(pos.update) >= product.updates.size()) return;
    CUpdate& update = product.updates[static_cast<size_t>(pos.update)];
    m_texts[0]->setText(QString::fromStdString(update.manufacturer));
    m_texts[1]->setText(QString::fromStdString(update.description));
    if (pos.level() == 1) {
        int64_t size = 0;
        for (const CFileEntry& f : update.files)
            size += f.size;
        m_texts[2]->setText(QString::number(update.files.size()));
        m_texts[3]->setText(QStringLiteral("%1 bytes.").arg(size));
    } else if (static_cast<size_t>(pos.file) < update.files.size()) {
        m_texts[2]->setText(QStringLiteral("1"));
        m_texts[3]->setText(
            QStringLiteral("%1 bytes.").arg(update.files[static_cast<size_t>(pos.file)].size));
    }
    auto folder = m_env.ctx.UpdateFolder(std::nullopt, &product.name, &update.name, false);
    if (!folder) return;
    if (auto text = m_env.ctx.ReadLog(plat::join_path(*folder, "WhatsNew.txt")); text && !text->empty()) {
        m_news = QString::fromStdString(*text);
        m_details->setEnabled(true);
    }
}

void CPGViewTree::ShowDetails() {
    CDetailsDlg dlg(m_news, this);
    m_env.prompt.run_modal(dlg);
}

plat::ui::WizardMove CPGViewTree::on_wizard_next() {
    CCatalogue& cat = m_env.catalogue;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = m_tree->topLevelItem(i);
        for (int j = 0; j < root->childCount(); ++j) {
            QTreeWidgetItem* item = root->child(j);
            TreePosition pos = CProductTree::Position(item);
            if (pos.product < 0 || static_cast<size_t>(pos.product) >= cat.products.size()) continue;
            auto& updates = cat.products[static_cast<size_t>(pos.product)].updates;
            if (pos.update < 0 || static_cast<size_t>(pos.update) >= updates.size()) continue;
            updates[static_cast<size_t>(pos.update)].selected =
                CProductTree::State(item) == STATE_CHECKED ? 1 : 0;
        }
    }
    return plat::ui::WizardMove::go_on();
}

bool CPGViewTree::on_query_cancel() {
    if (AskTerminate())
        if (auto* w = Wizard()) w->GoToLog();
    return false;
}

void CPGViewTree::on_cancel() {
    if (m_tree) m_tree->clear();
    m_news.clear();
}

} // namespace klc
