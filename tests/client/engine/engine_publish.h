#pragma once
// Publishes an update the way the designer does: numbered update files
// (plain copies, archives, protected archives, pieces), the product INF and
// the catalogue, with the designer's keys in the designer's order.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace engine_test {

struct PublishedFile {
    PublishedFile(std::string file_name, std::string bytes)
        : name(std::move(file_name)), content(std::move(bytes)) {}

    std::string name;    // FileName
    std::string content; // bytes of the source file
    std::string date = "06/22/2001 14:05:00";
    std::string version = "1.0";
    int32_t build = 0;
    int32_t action = 0;
    int32_t compare = 0; // 0: "CriteriaType=0"
    std::string destination = "%PRODUCT%";
    bool compress = false;
    bool encrypt = false;
    // Action 5: the file in the install location that becomes this one; no
    // update file is made.
    std::string rename_from;
    // Keys only the client reads, added at the end of the section.
    std::vector<std::pair<std::string, std::string>> extra;
};

struct Publication {
    std::string product = "Editor";
    std::string manufacturer = "Vendor";
    std::string web_location; // where the files will lie, as a URL
    std::string inf_name = "editor.inf";
    int64_t chunk_size = 0;
    std::vector<PublishedFile> files;
    std::vector<std::pair<std::string, std::string>> common_extra; // client-only [Common] keys
};

// Writes everything into `folder`: update files _0001..., the product INF
// and "Products.INF". Returns the names of the update files of each file.
std::vector<std::vector<std::string>> Publish(const std::string& folder, const Publication& pub);

} // namespace engine_test

namespace klc {
struct CCatalogue;
class CClientContext;
} // namespace klc

namespace engine_test {

// Reads a published folder the way the catalogue page reads a server, with
// `base` as the catalogue's address; every update is selected.
void ReadPublished(klc::CClientContext& ctx, klc::CCatalogue& cat, const std::string& folder,
                   const std::string& base);

} // namespace engine_test
