#pragma once
// Loading what a server offers into a catalogue.
#include <cstdint>

#include "client/engine/host.h"
#include "client/engine/product.h"
#include "client/engine/transfer_settings.h"

namespace klc {

class CTransferEngine;

// Downloads the current server's catalogue and the product INF files it
// links to and reads them; the update folders receive "Update.ico" and
// "WhatsNew.txt" for the product tree. 0 when everything was read, 1 when
// the run stopped; the catalogue's result holds the last failure.
int32_t LoadCatalogue(CClientContext& ctx, IClientHost& host, CCatalogue& catalogue,
                      const CTransferSettings& settings, const CRequestInfo& request_template,
                      CTransferEngine* engine = nullptr);

// Removes what LoadCatalogue left for the product tree: its files, then the
// folders it made, each only when nothing else is in it. The update page
// calls it when its work ends; the program calls it again when it ends, for
// a run that never reached the update page.
void RemoveCatalogueFiles(CCatalogue& catalogue);

} // namespace klc
