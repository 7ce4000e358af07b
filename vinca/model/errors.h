#pragma once
// Result codes of the control's model and views. Operations answer a 16-bit
// code (0 = success); the control raises non-zero codes to its container,
// codes above 19999 with the text below from its string table.
#include <cstdint>

namespace vinca {

using VResult = int16_t;

enum VincaError : VResult {
    VE_OK = 0,
    VE_OUT_OF_MEMORY = 7,
    VE_INVALID_ARGUMENT = 380, // a value outside the allowed range
    VE_BAD_INDEX = 381,        // a missing item or an index out of range
    VE_BAD_INDENTATION = 20101,
    VE_ITEM_NOT_FOUND = 20103,
    VE_INVALID_PATH_SEPARATOR = 20107,
    VE_INVALID_TREE_BUFFER = 20108,
    VE_PICTURE_TOO_LARGE = 20109,
    VE_NOTHING_TO_COPY = 20110,
    VE_TOO_MANY_ITEMS = 20111,
    VE_TOO_MANY_SUBITEMS = 20112,
    VE_INVALID_ARGUMENTS = 20113,
    VE_CANNOT_EDIT = 20114,
    VE_CLIPBOARD_EMPTY = 20115,
    VE_INVALID_BOOKMARK = 20116,
    VE_NO_WINDOW = 20117,
    VE_NOT_LOADED = 20118,
    VE_VIRTUAL_TREE = 20119,
    VE_INVALID_COLDEF = 20120,
    VE_GRID_NOT_CREATED = 20121,
    VE_GRID_DISCONNECTED = 20122,
    VE_REPORT_MARGINS = 20123,
    VE_REPORT_DC = 20124,
    VE_REPORT_PAGE = 20125,
    VE_DISCONNECTED = 20126,
    VE_DRAG_START = 20128,
    VE_DRAG_SOURCE = 20129,
    VE_DRAG_MOVE = 20130,
    VE_DRAG_TRANSFER = 20131,
    VE_VIRTUAL_SORT = 20132,
    VE_FILE_IO = 20201,
    VE_FILE_INPUT = 20202,
    VE_FILE_OUTPUT = 20203,
    VE_FILE_INIT = 20204,
    VE_BAD_FILE_FORMAT = 20301,
    VE_FILE_ALREADY_OPEN = 20401,
    VE_FILE_NOT_OPEN = 20402,
    // Internal refusals: never shown with a text of their own.
    VE_NO_OWNER = 25001,     // a sort method set on a node without an owning item
    VE_VIRTUAL_NODE = 25004, // children added to a virtual parent, or a removal out of range
    VE_REFUSED = 25008,      // the owner refused an expand or collapse
};

// The string-table text of a control error, or nullptr for codes without one.
inline const char* VincaErrorText(VResult code) {
    struct Entry {
        VResult code;
        const char* text;
    };
    static constexpr Entry table[] = {
        {VE_BAD_INDENTATION, "Bad indentation"},
        {VE_ITEM_NOT_FOUND, "Item not found"},
        {VE_INVALID_PATH_SEPARATOR, "Invalid path separator"},
        {VE_INVALID_TREE_BUFFER, "Invalid Tree Buffer"},
        {VE_PICTURE_TOO_LARGE, "The Picture Size is too large"},
        {VE_NOTHING_TO_COPY, "Nothing to copy"},
        {VE_TOO_MANY_ITEMS, "To many items in the list"},
        {VE_TOO_MANY_SUBITEMS, "To many subordinate items in one item"},
        {VE_INVALID_ARGUMENTS, "Invalid arguments"},
        {VE_CANNOT_EDIT, "Cannot start text editing"},
        {VE_CLIPBOARD_EMPTY, "Clipboard is empty"},
        {VE_INVALID_BOOKMARK, "Invalid Bookmark"},
        {VE_NO_WINDOW, "There is no valid hwnd"},
        {VE_NOT_LOADED, "Not loaded Vincas detected"},
        {VE_VIRTUAL_TREE, "Invalid call for virtual tree"},
        {VE_INVALID_COLDEF, "Invalid ColDef index"},
        {VE_GRID_NOT_CREATED, "Grid can't be created"},
        {VE_GRID_DISCONNECTED, "Grid can't connect to Vinca"},
        {VE_REPORT_MARGINS, "Report: Invalid margins"},
        {VE_REPORT_DC, "Report: Invalid DC"},
        {VE_REPORT_PAGE, "Report: Invalid page index"},
        {VE_DISCONNECTED, "Can't connect to Vinca"},
        {VE_DRAG_START, "Can't initiate drag/drop operation"},
        {VE_DRAG_SOURCE, "Can't connect to source control"},
        {VE_DRAG_MOVE, "Can't perform specified moving operation"},
        {VE_DRAG_TRANSFER, "Can't transfer data from source to destination tree"},
        {VE_VIRTUAL_SORT, "Virtual items can not be sorted"},
        {VE_FILE_IO, "File IO Error"},
        {VE_FILE_INPUT, "File Input Error"},
        {VE_FILE_OUTPUT, "File Output Error"},
        {VE_FILE_INIT, "File Initialization Error"},
        {VE_BAD_FILE_FORMAT, "Bad file format"},
        {VE_FILE_ALREADY_OPEN, "File already open"},
        {VE_FILE_NOT_OPEN, "File doesn't exist"},
    };
    for (const Entry& e : table)
        if (e.code == code) return e.text;
    return nullptr;
}

} // namespace vinca
