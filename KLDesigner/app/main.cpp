// The designer: one main form showing one description, its action list a
// tree-list control created by class id, descriptions stored through a
// second, hidden one.
#include <QApplication>
#include <QFont>

#include "KLDesigner/bridge/action_display.h"
#include "KLDesigner/bridge/dispatch_action_tree.h"
#include "KLDesigner/bridge/host_site.h"
#include "KLDesigner/bridge/kld_file.h"
#include "KLDesigner/builder/designer.h"
#include "KLDesigner/ui/action_panel.h"
#include "KLDesigner/ui/main_form.h"
#include "platform/forms/forms_runtime.h"
#include "platform/ui/process_prompt.h"
#include "platform/ui/qt_prompt.h"

namespace {

// The action list's display: the visible tree's items, texts and cells for
// the document's records.
std::unique_ptr<kld::ITreeBridge> MakeActionListDisplay(kld::CDispatchActionTree& tree) {
    return std::make_unique<kld::CActionDisplay>(tree.Control());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 8));

    plat::ui::QtPrompt prompt;
    kld::ui::MainForm main;
    prompt.set_parent(main.form().window());
    // The list control asks for its printer through the process's prompt:
    // the designer's, so that its questions stand over the main window.
    plat::ui::SetProcessPrompt(&prompt);

    plat::HRESULT hr = plat::S_OK;
    plat::ComPtr<plat::IDispatch> list = main.vntOperations().Create(kld::kTreeListClassId, &hr);
    kld::CHostSite buffer_site;
    plat::ComPtr<plat::IDispatch> buffer;
    if (list) buffer = buffer_site.Create(kld::kTreeListClassId);
    if (!list || !buffer) {
        plat::forms::MsgBox(prompt,
                            "The tree-list control is not registered on this machine. Register libvinca5.so "
                            "with klregsvr and start the designer again.",
                            0x10, kld::kAppTitle);
        return 1;
    }
    kld::CDispatchActionTree tree(list.get());
    std::unique_ptr<kld::ITreeBridge> display = MakeActionListDisplay(tree);
    main.UseDisplay(*static_cast<kld::CActionDisplay*>(display.get()));
    kld::CDescriptionFile file(buffer_site, buffer.get());
    kld::CDescriptionBridge bridge(*display, file);
    kld::Designer designer(kld::DesignerServices{main, prompt, tree, bridge});
    main.Attach(designer);

    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) command_line += ' ';
        command_line += argv[i];
    }
    designer.Main(command_line, QCoreApplication::applicationDirPath().toStdString());
    const int rc = QApplication::exec();
    plat::ui::SetProcessPrompt(nullptr);
    buffer.reset();
    buffer_site.ReleaseAll();
    return rc;
}
