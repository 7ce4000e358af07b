#pragma once
// The tree bridge for tests: items placed by the display's insertion and
// selection rules on a ListTree, and description files kept as snapshots of
// the document (a small marker file on disk, the document in memory), so
// the document flow runs without the control.
#include <map>
#include <string>
#include <vector>

#include "KLDesigner/builder/designer.h"
#include "support/shape_tree.h"

namespace kldtest {

class StandInBridge : public kld::ITreeBridge {
  public:
    explicit StandInBridge(ShapeTree& tree) : m_tree(tree) {}

    std::vector<std::string> calls;
    bool fail_save = false;
    bool fail_load = false;

    void AddOperationItem(kld::Designer& d, int32_t record, bool isGroup) override;
    void RemoveOperationItem(kld::Designer& d, int32_t position) override;
    void RefreshOperationItem(kld::Designer& d, int32_t position, int32_t record) override;
    void FillOperationsTree(kld::Designer& d) override;
    void StoreDescriptionInTree(kld::Designer& d) override;
    bool SaveTreeToFile(kld::Designer& d, const std::string& fileName) override;
    bool LoadTreeFromFile(kld::Designer& d, const std::string& fileName) override;
    void ReadDescriptionFromTree(kld::Designer& d) override;

    // Puts a saved description on disk as the stand-in stores it.
    void Put(const std::string& fileName, const kld::ProductSettings& product,
             const std::vector<kld::ActionRecord>& records);

  private:
    struct Snapshot {
        kld::ProductSettings product;
        std::vector<kld::ActionRecord> records; // document order, groups then their items
    };
    ShapeTree& m_tree;
    Snapshot m_buffer;
    std::map<std::string, Snapshot> m_files;
};

} // namespace kldtest
