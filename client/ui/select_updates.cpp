#include "client/ui/select_updates.h"

namespace klc {
namespace {

// Selection of one product's updates; with an update filter only the first
// update of that name is considered.
void SelectInProduct(CClientContext& ctx, CProduct& product, std::vector<bool>& chosen) {
    chosen.assign(product.updates.size(), false);
    bool matches = ctx.product_filter.empty() || ctx.product_filter == product.name;
    for (size_t i = 0; i < product.updates.size(); ++i) {
        CUpdate& u = product.updates[i];
        bool applies = u.HasFilesToInstall(ctx);
        if (!matches) continue;
        if (!ctx.update_filter.empty()) {
            if (u.name == ctx.update_filter) {
                chosen[i] = applies;
                if (applies) break;
            }
            continue;
        }
        chosen[i] = applies;
    }
}

} // namespace

bool SelectUpdates(CClientContext& ctx, CCatalogue& catalogue) {
    bool any = false;
    for (CProduct& product : catalogue.products) {
        std::vector<bool> chosen;
        SelectInProduct(ctx, product, chosen);
        for (size_t i = 0; i < chosen.size(); ++i) {
            product.updates[i].selected = chosen[i] ? 1 : 0;
            any = any || chosen[i];
        }
    }
    return any || !ctx.automatic_mode;
}

bool UpdatePassesFilters(CClientContext& ctx, CProduct& product, size_t update_index) {
    std::vector<bool> chosen;
    SelectInProduct(ctx, product, chosen);
    return update_index < chosen.size() && chosen[update_index];
}

} // namespace klc
