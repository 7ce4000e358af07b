#pragma once
// The update description as the designer holds it: product settings, the
// action records (groups and their items) and their nested lists. Field
// widths are those the description file and the INF writers convert from:
// Integer 16-bit, Long 32-bit, Single float, Date an OLE date (days since
// 1899-12-30; 0 means "no date").
#include <cstdint>
#include <string>
#include <vector>

namespace kld {

using OleDate = double;

// Action kinds; -1 marks a free record slot.
namespace action {
constexpr int16_t Free = -1;
constexpr int16_t InstallFile = 0;
constexpr int16_t ExecuteFile = 1;
constexpr int16_t CreateRegistry = 2;
constexpr int16_t DeleteRegistry = 3;
} // namespace action

// One destination: an action's Destinations row or a product InstallPaths row.
struct DestinationFolder {
    int16_t FolderType = 0; // 0 not set, 1 Path, 2 folder named by RegKey/RegValueName
    std::string Path;
    std::string RegKey;
    std::string RegValueName;
    bool CreateIfMissing = false;

    bool operator==(const DestinationFolder&) const = default;
};

// One product install criterion (InstallCriteria row).
struct ProductCriterion {
    int16_t CriterionType = 0; // 0 always, ±1 registry value, ±2 file, ±3 folder, ±4/±5 named in registry
    std::string Path;
    std::string RegKey;
    std::string RegValueName;
    float Edition = 0;

    bool operator==(const ProductCriterion&) const = default;
};

// The file part of a record; also one file a build produced for an item
// (SourcePath its name, FileSize its length).
struct ProducedFileEntry {
    int32_t FileType = 0;
    bool IsFolder = false;
    std::string SourcePath;
    bool IncludeSubfolders = false;
    int32_t VersionHigh = 0;
    int32_t VersionLow = 0;
    int32_t Build = 0;
    OleDate FileDate = 0;
    int32_t FileSize = 0;
    int32_t FileReserved = 0;

    bool operator==(const ProducedFileEntry&) const = default;
};

// One action group or one item of a group.
struct ActionRecord {
    bool ReservedFlag = false;
    int16_t ActionType = action::Free;
    bool IsGroup = false;
    // file part
    int32_t FileType = 0;
    bool IsFolder = false;
    std::string SourcePath;
    bool IncludeSubfolders = false;
    int32_t VersionHigh = 0;
    int32_t VersionLow = 0;
    int32_t Build = 0;
    OleDate FileDate = 0;
    int32_t FileSize = 0;
    // The fourth version part (the revision), which the INF's Build carries
    // as "c.d" when it is not 0.
    int32_t FileReserved = 0;
    std::string SourceFolder;
    // registry part
    std::string RegKey;
    std::string RegValueName;
    int32_t RegDataType = 1; // 1 String, 4 Long
    std::string RegDataText;
    int32_t RegDataNumber = 0;
    bool Compress = false;
    bool Encrypt = false;
    bool CreateNew = false;
    // criteria part
    int16_t Compare = 0; // 0 none, 11 version older, 12 date older, 13 size/CRC differ
    int16_t CriteriaType = 0;
    std::string CriteriaPath;
    std::string CriteriaRegKey;
    std::string CriteriaValueName;
    int16_t EditionCompare = 0;
    float Edition = 0;
    std::vector<DestinationFolder> Destinations = std::vector<DestinationFolder>(3);
    bool AskClose = false;
    bool UpdateOnRestart = false;
    std::string LogToRegistryData;
    bool Register = false;
    // Never saved: what the last build made of this item.
    std::vector<ProducedFileEntry> ProducedFiles = std::vector<ProducedFileEntry>(1);

    bool operator==(const ActionRecord&) const = default;
};

struct ProductSettings {
    std::string ProductName;
    std::string Manufacturer;
    std::string PackagePassword;
    int32_t ChunkSize = 0;
    std::string OutputFolder;
    std::string WhatsNewFile;
    std::string AdvertisementFile;
    std::string IconFile;
    std::string INFFileName;
    std::string WebLocation;
    float ReservedValue = 0;
    std::vector<ProductCriterion> InstallCriteria = std::vector<ProductCriterion>(3);
    std::vector<DestinationFolder> InstallPaths = std::vector<DestinationFolder>(3);
    bool InstallNew = false;
    bool AutoUninstall = false;
    bool ResumeDownloading = false;

    bool operator==(const ProductSettings&) const = default;
};

// The record an empty document's single slot holds: every field 0 or empty
// (so its kind reads 0, not "free").
ActionRecord ZeroedRecord();

// Sentinels of CurrentFileName and of the file dialogs.
inline constexpr const char* kNoDocument = "::NO::";
inline constexpr const char* kCancelled = "::CANCEL::";
inline constexpr const char* kAppTitle = "Marovia Kestrelite Designer";
inline constexpr const char* kNewProductName = "<-- Input Product Name Here -->";
// The action array never grows past this upper bound.
inline constexpr int32_t kMaxActionUpperBound = 9999;

} // namespace kld
