#pragma once
// What a server offers: catalogue links, products, their updates and the
// files of each update, read from the catalogue and the product INF files.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "client/engine/context.h"
#include "client/engine/criteria.h"
#include "client/engine/inf.h"
#include "client/engine/url.h"
#include "platform/sys/file_time.h"

namespace klc {

// File actions of an entry.
enum FileAction : int32_t {
    ACTION_COPY = 0,
    ACTION_COPY_REGISTER = 1,
    ACTION_COPY_RUN_WAIT = 2,
    ACTION_COPY_RUN = 3,
    ACTION_REMOVE = 4,
    ACTION_RENAME = 5,
    ACTION_COPY_RUN_DELETE = 6,
};

struct CFileEntry {
    std::string file_name; // a single safe path element
    CUrl location;
    std::string date_text;
    std::optional<plat::FileTime> date; // UTC; none for "no date"
    int32_t size = 0;
    uint64_t version = 0;
    std::string destination; // empty: "%PRODUCT%"
    int32_t action = ACTION_COPY;
    int32_t compare_flags = cmp::Always;
    int32_t compress = 0;
    int32_t backup = 1;
    std::vector<std::string> pieces; // single safe path elements
    std::vector<int32_t> piece_sizes;
    int32_t decision = -1; // cached compare result

    bool ShouldInstall(const CClientContext& ctx);
    // An archive is unpacked when marked so, and also when it came as an
    // archive piece (.ZIP) or in several pieces.
    bool NeedsUnpack() const;
};

struct CUpdate {
    int32_t selected = 0;
    int32_t inf_version = -1;
    int32_t last_inf_index = 0;
    std::string name{"Main Update"};
    int32_t image_index = 1;
    CUrl location;
    std::string manufacturer;
    std::string description;
    std::string criteria_message;
    std::vector<std::string> advertisements;
    std::string icon;
    std::string advertisement;
    std::string whats_new;
    std::string product_path;
    bool product_path_local = true; // see ProductState
    int32_t installed = 1;
    uint64_t version = 0;
    int32_t criteria_met = 1;
    std::string on_success;
    std::vector<CFileEntry> files;
    int32_t read_error = 0; // set when an entry had to be refused while reading

    // Reads one product INF into this update; true when it holds files.
    bool Read(CClientContext& ctx, const ProductState& link_state, int32_t file_index, const InfFile& inf,
              const CUrl& link_location);
    // Appends the "File%d" sections; returns the number of entries added.
    int32_t ReadFiles(CClientContext& ctx, const InfFile& inf, const CUrl& location);
    bool HasFilesToInstall(CClientContext& ctx);
};

struct CProduct {
    std::string name;
    std::vector<CUpdate> updates;
    int32_t read_error = 0; // an entry of an update read here was refused

    bool ReadUpdate(CClientContext& ctx, const ProductState& link_state, int32_t file_index,
                    const InfFile& inf, const CUrl& link_location);
};

struct CProductLink {
    CUrl location;
    std::string name;
    std::vector<std::string> inf_files;
    ProductState state;
    std::string advertisement;
};

// Everything read from one server.
struct CCatalogue {
    std::vector<CProductLink> links;
    std::vector<CProduct> products;
    std::string advertisement_text; // lines for the advertisement control
    int32_t result = 0;             // last failure met while reading
    // Icons and What's New texts the catalogue page downloaded for the
    // product tree, and the folders it made for them (outermost first).
    std::vector<std::string> made_files;
    std::vector<std::string> made_folders;

    // The catalogue file: returns the number of links added.
    int32_t ReadCatalogue(CClientContext& ctx, const InfFile& inf, const CUrl& base);
    // One "Product%d" section: 0, -26 (no name: the end), -27 (criteria not
    // met), -28 (no INF file named).
    int32_t ReadLink(CClientContext& ctx, const InfFile& inf, int32_t n, const CUrl& base,
                     CProductLink& link);
    // One product INF of a link; true when it added or kept files.
    bool ReadProduct(CClientContext& ctx, int32_t link_index, int32_t file_index, const InfFile& inf);
};

// Local names of downloaded catalogue files.
std::string CatalogueLocalName(const std::string& download_folder);
std::string ProductInfLocalName(const std::string& download_folder, int32_t link_index, int32_t file_index);

} // namespace klc
