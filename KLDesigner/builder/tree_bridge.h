#pragma once
// How the document meets the two tree-list controls: the visible action list
// and the hidden tree that description files are saved from and loaded into.
#include <string>

#include "KLDesigner/builder/document_model.h"

namespace kld {

class Designer;

class ITreeBridge {
  public:
    virtual ~ITreeBridge() = default;

    // The action list item of a new record, placed by the selection (a group
    // after the selected group's subtree, an item at the end of the selected
    // group), carrying the record index; it is selected afterwards.
    virtual void AddOperationItem(Designer& d, int32_t record, bool isGroup) = 0;
    // Removes the item with its subtree and selects a neighbour.
    virtual void RemoveOperationItem(Designer& d, int32_t position) = 0;
    // Rebuilds the item's text and cells from the record.
    virtual void RefreshOperationItem(Designer& d, int32_t position, int32_t record) = 0;
    // One action list item per record, groups with their items.
    virtual void FillOperationsTree(Designer& d) = 0;
    // The whole document into the hidden tree.
    virtual void StoreDescriptionInTree(Designer& d) = 0;
    virtual bool SaveTreeToFile(Designer& d, const std::string& fileName) = 0;
    // Reads a file into the hidden tree; the document is not touched.
    virtual bool LoadTreeFromFile(Designer& d, const std::string& fileName) = 0;
    // The document back from the hidden tree.
    virtual void ReadDescriptionFromTree(Designer& d) = 0;
};

} // namespace kld
