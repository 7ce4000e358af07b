#pragma once
// A designer with scripted services: recording host, scripted prompt, the
// plain stand-in tree and bridge, and a temporary folder for its files.
#include <gtest/gtest.h>

#include "KLDesigner/builder/designer.h"
#if defined(KLD_ENGINE_TREE)
#include "engine_tree.h"
#elif defined(KLD_CONTROL_TREE)
#include "control_tree.h"
#else
#include "support/list_tree.h"
#endif
#include "support/recording_host.h"
#include "support/scripted_prompt.h"
#include "support/stand_in_bridge.h"
#include "support/temp_dir.h"

namespace kldtest {

// The tree the designer works on: the plain stand-in, or (in its own test
// program) the one over the control's tree engine or the control itself.
#if defined(KLD_ENGINE_TREE)
using TreeUnderTest = EngineTree;
#elif defined(KLD_CONTROL_TREE)
using TreeUnderTest = ControlTree;
#else
using TreeUnderTest = ListTree;
#endif

struct DesignerRig {
    RecordingHost host;
    kltest::ScriptedPrompt prompt;
    TreeUnderTest tree;
    StandInBridge bridge{tree};
    kld::Designer d{kld::DesignerServices{host, prompt, tree, bridge}};
    kltest::TempDir dir;

    // The next message expected, with its style checked.
    void ExpectMessage(const std::string& text, int32_t flags,
                       plat::ui::MsgAnswer answer = plat::ui::MsgAnswer::Ok) {
        kltest::ExpectedPrompt e;
        e.kind = kltest::PromptKind::Message;
        e.match = text;
        e.answer = answer;
        e.check = [text, flags](const plat::ui::MessageRequest& r) {
            EXPECT_EQ(r.caption, "Marovia Kestrelite Designer") << text;
            EXPECT_EQ(static_cast<int32_t>(r.icon), flags & 0x70) << text;
            EXPECT_EQ(static_cast<int32_t>(r.buttons), flags & 0x7) << text;
            EXPECT_EQ(r.default_button, (flags >> 8) & 3) << text;
        };
        prompt.expect(std::move(e));
    }
};

} // namespace kldtest
