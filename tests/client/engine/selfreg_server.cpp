// A small in-process server that an update installs and registers: one class
// with one property. Built twice, with and without the version string that
// asks for self-registration.
#include "selfreg_server.h"
#include "platform/com/object.h"
#include "platform/com/server.h"

using namespace plat;

namespace {

class Answer final : public DispatchObject<Answer> {
  public:
    static const DispatchTable<Answer>& dispatch_table() {
        static const DispatchTable<Answer> table{
            {.id = 1,
             .name = "Answer",
             .kind = DispKind::Property,
             .type = VT_I4,
             .get = [](Answer&, DispCall& c) { c.result() = Variant(int32_t(42)); }},
        };
        return table;
    }
};

ServerModule& server() {
    static ServerModule module({{.clsid = selfreg::kClsid,
                                 .prog_id = selfreg::kProgId,
                                 .type_name = "Self-registering update sample",
                                 .create = creator_of<Answer>(),
                                 .names_type_library = false,
                                 .implemented_categories = {}}});
    return module;
}

} // namespace

KL_SERVER_EXPORTS(server())
