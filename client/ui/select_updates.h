#pragma once
// Which updates the run installs: those that apply and pass the product
// and update filters given on the command line.
#include "client/engine/context.h"
#include "client/engine/product.h"

namespace klc {

// Marks the selected updates. True when any was selected, and always
// outside automatic mode (so the tree page shows even when nothing applies).
bool SelectUpdates(CClientContext& ctx, CCatalogue& catalogue);

// The same rule for one update (the tree page checks by it).
bool UpdatePassesFilters(CClientContext& ctx, CProduct& product, size_t update_index);

} // namespace klc
