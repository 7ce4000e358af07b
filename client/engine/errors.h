#pragma once
// Client error codes. Every client operation returns an int32 code: 0 or more
// is success (a download returns its byte count), a negative value is one of
// the failures below. Their texts are string-table entries 147 + |code|.
#include <cstdint>
#include <optional>
#include <string>

namespace klc {

enum ClientError : int32_t {
    ERR_SUCCESS = 0,
    ERR_SOURCE_INVALID = -1,     // "Source file is invalid"
    ERR_TARGET_INVALID = -2,     // "Target file is invalid"
    ERR_CONNECTION_LOST = -3,    // "Internet connection has been lost"
    ERR_NO_INTERNET = -4,        // "Unable to connect to the Internet"
    ERR_BAD_URL = -5,            // "Bad URL"
    ERR_NO_SESSION = -6,         // "Internet session could not be established"
    ERR_BAD_SERVER = -7,         // "Server name is invalid or it does not respond"
    ERR_LOAD = -8,               // "Unable to load " + item word
    ERR_SIZE = -9,               // "Unable to retrieve size of " + item word
    ERR_OFFSET = -10,            // "Unable to restore offset on " + item word
    ERR_READ = -11,              // "File couldn't be read"
    ERR_WRITE = -12,             // "Error occured while writting to the file"
    ERR_UNDEFINED = -13,         // "Undefined error"
    ERR_CANCELLED = -14,         // "Operation was canceled by user"
    ERR_COPY = -15,              // "Unable to copy file." + system error
    ERR_BACKUP = -16,            // "Unable to backup file." + system error
    ERR_REGISTER = -17,          // "Unable to register file." + system error
    ERR_EXECUTE = -18,           // "Unable to execute file." + system error
    ERR_DELETE = -19,            // "Unable to delete file." + system error
    ERR_ON_SUCCESS = -20,        // "Unable to process on success."
    ERR_SKIP = -21,              // "Unable to skip file."
    ERR_NOT_FOUND = -22,         // "Unable to find specified file."
    ERR_RENAME = -23,            // "Unable to rename file." + system error
    ERR_NO_ZIP_LIBRARY = -24,    // the archive library is missing or unusable
    ERR_NO_MEMORY = -25,         // "No memory."
    ERR_UNDEFINED_PRODUCT = -26, // link without a product name: end of the list
    ERR_LINK_CRITERIA = -27,     // link skipped by its installation criteria
    ERR_EMPTY_LINK = -28,        // link naming no INF file
};

constexpr int32_t kLastClientError = -28;

// String-table ids of texts the engine writes itself.
enum ClientString : int32_t {
    IDS_ASK_TERMINATE = 135,
    IDS_NO_ADVERTISEMENT = 137,
    IDS_FILE_IN_USE = 138,
    IDS_ASK_REBOOT = 139,
    IDS_ASK_DELETE_TEMP = 140,
    IDS_READ_ONLY = 141,
    IDS_BACKUP_EXISTS = 143,
    IDS_ERROR_BASE = 147,       // + |code|
    IDS_ITEM_PRODUCT_INF = 201, // "product information file."
    IDS_ITEM_UPDATE_INF = 202,  // "update information file."
    IDS_ITEM_FILE = 203,        // "file."
    IDS_RESULT_SUCCESS = 204,
    IDS_RESULT_NOTHING = 205,
    IDS_RESULT_REBOOT = 206,
};

// Stages of a page's work; they choose the item word of -8, -9 and -10.
enum ErrorStage : int32_t {
    STAGE_NONE = 0,
    STAGE_PRODUCT_INF = 1,
    STAGE_UPDATE_INF = 2,
    STAGE_FILE = 3,
};

// The string table: the text of an id, or none when the table has no entry.
std::optional<std::string> LoadClientString(int32_t id);

// The text of a client error code; a magnitude beyond 28 reads as -13.
std::string ErrorText(int32_t code);

// True for codes whose messages name the item of the current stage.
bool ErrorTakesItemWord(int32_t code);
// True for codes whose messages carry the last system error.
bool ErrorTakesSystemError(int32_t code);

// The system's own description of a platform error number.
std::string SystemErrorText(int32_t sysError);

// Message and log texts of a failure, composed as the pages show and log them:
// the code's text, the stage's item word, and the system error.
struct ErrorMessage {
    std::string message;
    std::string log;
};
ErrorMessage ComposeErrorMessage(int32_t code, int32_t stage, int32_t sysError);

} // namespace klc
