#pragma once
// The description file (.KLD): the document copied into a hidden tree-list
// control, one item per record and one named item value per field, and the
// control's own tree stream written to or read from a file opened by number.
//
// Saving writes a temporary file beside the target and renames it over the
// old one, so a failed save leaves the old file; a symbolic link stays a
// link to the file that now holds the description, and that file keeps its
// permission. Opening reads into a
// detached document first: a file that is no tree, or whose tree lacks the
// product item or an action item, is refused and the open document stays.
#include <optional>
#include <string>
#include <vector>

#include "KLDesigner/bridge/host_site.h"
#include "KLDesigner/builder/designer.h"

namespace kld {

// The tree-list control's class id.
inline constexpr plat::CLSID kTreeListClassId = plat::make_guid("9D998150-B884-11CE-8D47-444553540000");

// The document as a description file holds it.
struct DescriptionDocument {
    ProductSettings product;
    std::vector<ActionRecord> actions; // by record number, groups followed by their items
};

class CDescriptionFile {
  public:
    // `buffer` is a tree-list control sited in `site`; it is used only here.
    CDescriptionFile(CHostSite& site, plat::IDispatch* buffer) : m_site(site), m_buffer(buffer) {}

    // The document into the hidden tree; records in the order of the action
    // list's items, each item carrying its record index. Any earlier content
    // is gone. False when any item or value could not be written.
    bool Store(const ProductSettings& product, const std::vector<ActionRecord>& actions,
               IActionTree& operations);
    // The hidden tree into `path`, through a temporary file renamed over it
    // (over a link's target). A blank path writes nothing and answers true.
    bool Save(const std::string& path);

    enum class LoadResult { Loaded, NoFile, NotValid };
    // Reads `path` into the hidden tree and from it into `out`.
    LoadResult Load(const std::string& path, DescriptionDocument& out);
    // The hidden tree into `out`; false when the tree is not a description.
    bool Read(DescriptionDocument& out);

    plat::IDispatch* Buffer() const { return m_buffer.get(); }

  private:
    CHostSite& m_site;
    plat::ComPtr<plat::IDispatch> m_buffer;
};

// The tree bridge whose description files go through the control; the
// display half (the visible action list) is another bridge's.
class CDescriptionBridge : public ITreeBridge {
  public:
    CDescriptionBridge(ITreeBridge& display, CDescriptionFile& file) : m_display(display), m_file(file) {}

    void AddOperationItem(Designer& d, int32_t record, bool isGroup) override {
        m_display.AddOperationItem(d, record, isGroup);
    }
    void RemoveOperationItem(Designer& d, int32_t position) override {
        m_display.RemoveOperationItem(d, position);
    }
    void RefreshOperationItem(Designer& d, int32_t position, int32_t record) override {
        m_display.RefreshOperationItem(d, position, record);
    }
    void FillOperationsTree(Designer& d) override { m_display.FillOperationsTree(d); }

    void StoreDescriptionInTree(Designer& d) override;
    bool SaveTreeToFile(Designer& d, const std::string& fileName) override;
    // Shows "File '…' is not a valid update description." for a file that
    // is not one; the document is never touched here.
    bool LoadTreeFromFile(Designer& d, const std::string& fileName) override;
    void ReadDescriptionFromTree(Designer& d) override;

  private:
    ITreeBridge& m_display;
    CDescriptionFile& m_file;
    bool m_stored = false; // the last store wrote everything
    // What the last load read from the hidden tree, kept for the read that
    // follows it: nothing else changes the hidden tree in between.
    std::optional<DescriptionDocument> m_loaded;
};

} // namespace kld
