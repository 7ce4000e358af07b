#include "KLDesigner/ui/form_design.h"

#include <QLineEdit>
#include <string>

namespace kld::ui {

using namespace plat::forms;

QWidget* ContainerWidget(Form& form, const char* container) {
    if (!container) return nullptr;
    const std::string name = container;
    const auto hash = name.find('#');
    if (hash != std::string::npos) {
        auto* strip = dynamic_cast<TabStrip*>(form.Find(name.substr(0, hash)));
        return strip ? strip->page(std::stoi(name.substr(hash + 1))) : nullptr;
    }
    Control* c = form.Find(name);
    return c ? c->widget() : nullptr;
}

void BuildControls(Form& form, std::span<const ControlDesign> rows) {
    for (const ControlDesign& r : rows) {
        QWidget* parent = ContainerWidget(form, r.container);
        Control* made = nullptr;
        switch (r.kind) {
        case Kind::Label: {
            auto& c = form.Add<Label>(r.name, r.index, parent);
            c.SetCaption(r.caption);
            made = &c;
            break;
        }
        case Kind::TextBox: {
            auto& c = form.Add<TextBox>(r.name, r.index, parent);
            c.line_edit()->setText(QString::fromUtf8(r.caption));
            made = &c;
            break;
        }
        case Kind::ComboBox:
            made = &form.Add<ComboBox>(r.name, r.index, parent, r.extra);
            break;
        case Kind::ListBox:
            made = &form.Add<ListBox>(r.name, r.index, parent);
            break;
        case Kind::CheckBox: {
            auto& c = form.Add<CheckBox>(r.name, r.index, parent);
            c.SetCaption(r.caption);
            made = &c;
            break;
        }
        case Kind::OptionButton: {
            auto& c = form.Add<OptionButton>(r.name, r.index, parent);
            c.SetCaption(r.caption);
            made = &c;
            break;
        }
        case Kind::Frame: {
            auto& c = form.Add<Frame>(r.name, r.index, parent);
            c.SetCaption(r.caption);
            made = &c;
            break;
        }
        case Kind::Panel: {
            auto& c = form.Add<Panel>(r.name, r.index, parent);
            c.SetCaption(r.caption);
            c.SetBevelOuter(r.extra);
            made = &c;
            break;
        }
        case Kind::CommandButton: {
            auto& c = form.Add<CommandButton>(r.name, r.index, parent);
            c.SetCaption(r.caption);
            made = &c;
            break;
        }
        case Kind::RibbonButton:
            made = &form.Add<RibbonButton>(r.name, r.index, parent);
            break;
        case Kind::PictureBox:
            made = &form.Add<PictureBox>(r.name, r.index, parent);
            break;
        case Kind::Image:
            made = &form.Add<ImageBox>(r.name, r.index, parent);
            break;
        case Kind::TabStrip:
            made = &form.Add<TabStrip>(r.name, r.index, parent, r.extra);
            break;
        }
        made->Move(r.left, r.top, r.width, r.height);
        if (*r.tooltip) made->SetToolTipText(r.tooltip);
        made->SetVisible(r.visible);
    }
}

} // namespace kld::ui
