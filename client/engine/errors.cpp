#include "client/engine/errors.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "platform/base/strings.h"

namespace klc {
namespace {

// Texts of codes 0 .. -28, index = |code|. They are the client's own strings,
// kept exactly as users and log readers have always seen them.
constexpr std::array<const char*, 29> kErrorTexts = {
    "Success",
    "Source file is invalid",
    "Target file is invalid",
    "Internet connection has been lost",
    "Unable to connect to the Internet",
    "Bad URL",
    "Internet session could not be established",
    "Server name is invalid or it does not respond",
    "Unable to load ",
    "Unable to retrieve size of ",
    "Unable to restore offset on ",
    "File couldn't be read",
    "Error occured while writting to the file",
    "Undefined error",
    "Operation was canceled by user",
    "Unable to copy file.",
    "Unable to backup file.",
    "Unable to register file.",
    "Unable to execute file.",
    "Unable to delete file.",
    "Unable to process on success.",
    "Unable to skip file.",
    "Unable to find specified file.",
    "Unable to rename file.",
    "This update requires XceedZIP compresion library. \nCheck that XCeedZIP.DLL is installed on your "
    "computer.",
    "No memory.",
    "Unable to load link with undefined product name.",
    "Link is skipped with installation criteria.",
    "Unable to load empty link.",
};

struct StringEntry {
    int32_t id;
    const char* text;
};

constexpr StringEntry kStrings[] = {
    // Texts of the client's windows.
    {101, "&About KLClient..."},
    {128, "Kestrelite Client"},
    {129, "Kestrelite Client Settings"},
    {130, "Choose a folder that will be used as temporary:"},
    {131, "Welcome to the Kestrelite update client.\r\n\r\nChoose the server to check for updates "
          "and press Next."},
    {132, "&Settings"},
    {133, "Specified URL..."},
    {134, "&Finish"},
    {136, "Kestrelite is looking for updates of your products . . ."},
    {146, "There is no server to check for updates.\nAdd one to the server list file KLClient.INI, "
          "or give one with INFFILE=address."},
    {200, "There is no valid server specified."},
    {300, "Only one instance of Kestrelite can be running at a time."},
    {400, "URL has been specified in the command line parameter"},
    {135, "Do You wish to terminate KLClient?"},
    {137, "There is no advertisement for this update."},
    {138,
     "is used by another application. \n Please, close the application that uses this file and try again."},
    {139, "The installation wll be continued after reboot.\nDo You wish to reboot now?"},
    {140, "Do You wish to delete all temporary files?"},
    {141, "has read-only attributes. \nDo You wish to overwrite this file?"},
    {143, "was backuped on previous update. \n Do You wish to overwrite this file?"},
    {IDS_ITEM_PRODUCT_INF, "product information file."},
    {IDS_ITEM_UPDATE_INF, "update information file."},
    {IDS_ITEM_FILE, "file."},
    {IDS_RESULT_SUCCESS, "Application was finished successfully."},
    {IDS_RESULT_NOTHING, "No one update was processed."},
    {IDS_RESULT_REBOOT, "Some updates was skipped for future reboot."},
};

struct SysEntry {
    int32_t code;
    const char* text;
};

// Descriptions of the platform error numbers the file and registry layers
// report, in the words the system table uses.
constexpr SysEntry kSysTexts[] = {
    {0, "The operation completed successfully."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough storage is available to process this command."},
    {13, "The data is invalid."},
    {29, "The system cannot write to the specified device."},
    {30, "The system cannot read from the specified device."},
    {32, "The process cannot access the file because it is being used by another process."},
    {38, "Reached the end of the file."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {122, "The data area passed to a system call is too small."},
    {145, "The directory is not empty."},
    {161, "The specified path is invalid."},
    {183, "Cannot create a file when that file already exists."},
    {193, "The file is not a valid application."},
    {1009, "The configuration registry database is corrupt."},
    {1223, "The operation was canceled by the user."},
    {1460, "This operation returned because the timeout period expired."},
};

int32_t magnitude(int32_t code) {
    int64_t m = code < 0 ? -static_cast<int64_t>(code) : code;
    return m > 28 ? 13 : static_cast<int32_t>(m);
}

} // namespace

std::optional<std::string> LoadClientString(int32_t id) {
    if (id >= IDS_ERROR_BASE && id <= IDS_ERROR_BASE + 28)
        return std::string(kErrorTexts[static_cast<size_t>(id - IDS_ERROR_BASE)]);
    for (const auto& e : kStrings)
        if (e.id == id) return std::string(e.text);
    return std::nullopt;
}

std::string ErrorText(int32_t code) {
    return kErrorTexts[static_cast<size_t>(magnitude(code))];
}

bool ErrorTakesItemWord(int32_t code) {
    int32_t m = magnitude(code);
    return m >= 8 && m <= 10;
}

bool ErrorTakesSystemError(int32_t code) {
    int32_t m = magnitude(code);
    return (m >= 15 && m <= 19) || m == 23;
}

std::string SystemErrorText(int32_t sysError) {
    for (const auto& e : kSysTexts)
        if (e.code == sysError) return e.text;
    return plat::strprintf("Unknown error 0x%x.", static_cast<unsigned>(sysError));
}

ErrorMessage ComposeErrorMessage(int32_t code, int32_t stage, int32_t sysError) {
    ErrorMessage out;
    out.message = ErrorText(code);
    if (ErrorTakesItemWord(code)) {
        int32_t id = stage == STAGE_PRODUCT_INF  ? IDS_ITEM_PRODUCT_INF
                     : stage == STAGE_UPDATE_INF ? IDS_ITEM_UPDATE_INF
                     : stage == STAGE_FILE       ? IDS_ITEM_FILE
                                                 : 0;
        if (id) out.message += " " + *LoadClientString(id);
    }
    out.log = out.message;
    if (ErrorTakesSystemError(code)) {
        out.message += plat::strprintf("( Error: 0x%x )", static_cast<unsigned>(sysError));
        // The log reads as two sentences: "Unable to copy file. Access is denied."
        out.log += " " + SystemErrorText(sysError);
    }
    return out;
}

} // namespace klc
