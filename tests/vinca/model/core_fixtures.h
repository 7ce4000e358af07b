#pragma once
// Small trees written as text: one item per line, one leading space per
// level ("A\n B\n C\nD" is A with children B and C, then D). Dump gives the
// shape back as "A(B,C),D".
#include <sstream>
#include <string>
#include <vector>

#include "vinca/model/engine.h"

namespace coretest {

inline void Build(vinca::CItemNode* top, const std::string& text) {
    std::vector<vinca::CItem*> parents; // the last item made at each level
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        size_t level = line.find_first_not_of(' ');
        if (level == std::string::npos) continue;
        parents.resize(level);
        vinca::CItemNode* node = level == 0 ? top : parents[level - 1]->GetChildNode();
        int32_t at = -1;
        vinca::CItem* made = nullptr;
        node->AddNewChild(at, line.substr(level), 0, &made);
        parents.push_back(made);
    }
}

// A prefix and a number ("v" and 3 give "v3").
inline std::string Num(const char* prefix, int64_t n) {
    return std::string(prefix).append(std::to_string(n));
}

inline std::string Dump(vinca::CItemNode* node) {
    std::string out;
    if (!node) return out;
    for (int32_t i = 0; i < node->MaterialisedCount(); ++i) {
        vinca::CItem* item = node->MaterialisedAt(i);
        if (i) out += ",";
        out += item->Text();
        if (item->ChildNode() && item->ChildNode()->MaterialisedCount() > 0)
            out += "(" + Dump(item->ChildNode()) + ")";
    }
    return out;
}

// The item at a path of child positions from the top node.
inline vinca::CItem* At(vinca::CItemNode* top, std::initializer_list<int32_t> path) {
    vinca::CItem* item = nullptr;
    vinca::CItemNode* node = top;
    for (int32_t i : path) {
        item = node->GetAt(i);
        node = item ? item->ChildNode() : nullptr;
    }
    return item;
}

// An owner that records what the engine told it.
struct RecordingOwner : vinca::IVincaOwner {
    std::vector<vinca::VResult> errors;
    std::vector<int32_t> expands, collapses, byAncestor;
    std::vector<std::pair<int32_t, int32_t>> queries;
    bool allowExpand{true};
    bool allowCollapse{true};
    void ReportError(vinca::VResult code) override { errors.push_back(code); }
    bool RequestExpand(int32_t index) override {
        expands.push_back(index);
        return allowExpand;
    }
    bool RequestCollapse(int32_t index) override {
        collapses.push_back(index);
        return allowCollapse;
    }
    void ItemCollapsedByAncestor(int32_t index) override { byAncestor.push_back(index); }
    void ItemQueryData(int32_t index, int32_t child) override { queries.emplace_back(index, child); }
};

} // namespace coretest
