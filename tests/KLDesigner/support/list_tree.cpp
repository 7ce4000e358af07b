#include "support/list_tree.h"

#include <functional>

namespace kldtest {

struct ListTree::Node {
    int32_t id = 0;
    int32_t lng = 0;
    bool expanded = false;
    bool grid = true;
    std::vector<std::unique_ptr<Node>> children;
};

namespace {
kld::TreeValue Bad() {
    return {0, kld::kBadPosition};
}
} // namespace

ListTree::ListTree() = default;
ListTree::~ListTree() = default;

std::vector<ListTree::Flat> ListTree::Flatten() const {
    std::vector<Flat> out;
    std::function<void(const std::vector<std::unique_ptr<Node>>&, Node*, int32_t)> walk =
        [&](const std::vector<std::unique_ptr<Node>>& list, Node* parent, int32_t level) {
            for (const auto& n : list) {
                out.push_back({n.get(), parent, level});
                walk(n->children, n.get(), level + 1);
            }
        };
    walk(m_top, nullptr, 0);
    return out;
}

int32_t ListTree::PositionOf(const Node* n) const {
    if (!n) return -1;
    auto f = Flatten();
    for (size_t i = 0; i < f.size(); ++i)
        if (f[i].node == n) return static_cast<int32_t>(i);
    return -1;
}

std::vector<std::unique_ptr<ListTree::Node>>& ListTree::ChildrenOf(Node* parent) {
    return parent ? parent->children : m_top;
}

int32_t ListTree::AddChild(int32_t parent, int32_t lng) {
    auto f = Flatten();
    Node* p = parent >= 0 && parent < static_cast<int32_t>(f.size()) ? f[static_cast<size_t>(parent)].node
                                                                     : nullptr;
    auto n = std::make_unique<Node>();
    n->id = m_nextId++;
    n->lng = lng;
    Node* raw = n.get();
    ChildrenOf(p).push_back(std::move(n));
    m_new = raw;
    return PositionOf(raw);
}

int32_t ListTree::InsertTopLevel(int32_t before, int32_t lng) {
    auto f = Flatten();
    auto n = std::make_unique<Node>();
    n->id = m_nextId++;
    n->lng = lng;
    Node* raw = n.get();
    size_t at = m_top.size();
    if (before >= 0 && before < static_cast<int32_t>(f.size()))
        for (size_t k = 0; k < m_top.size(); ++k)
            if (m_top[k].get() == f[static_cast<size_t>(before)].node) at = k;
    m_top.insert(m_top.begin() + static_cast<ptrdiff_t>(at), std::move(n));
    m_new = raw;
    return PositionOf(raw);
}

int32_t ListTree::ListCount() {
    return static_cast<int32_t>(Flatten().size());
}

int32_t ListTree::ListIndex() {
    return PositionOf(m_selected);
}

int32_t ListTree::SetListIndex(int32_t position) {
    auto f = Flatten();
    if (position == -1) {
        m_selected = nullptr;
        return 0;
    }
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return kld::kBadPosition;
    m_selected = f[static_cast<size_t>(position)].node;
    return 0;
}

kld::TreeValue ListTree::ItemLngValue(int32_t position) {
    auto f = Flatten();
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return Bad();
    return {f[static_cast<size_t>(position)].node->lng, 0};
}

int32_t ListTree::SetItemLngValue(int32_t position, int32_t value) {
    auto f = Flatten();
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return kld::kBadPosition;
    f[static_cast<size_t>(position)].node->lng = value;
    return 0;
}

kld::TreeValue ListTree::ItemParent(int32_t position) {
    auto f = Flatten();
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return Bad();
    return {PositionOf(f[static_cast<size_t>(position)].parent), 0};
}

kld::TreeValue ListTree::ItemNextSibling(int32_t position) {
    auto f = Flatten();
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return Bad();
    auto& list = ChildrenOf(f[static_cast<size_t>(position)].parent);
    for (size_t k = 0; k + 1 < list.size(); ++k)
        if (list[k].get() == f[static_cast<size_t>(position)].node) return {PositionOf(list[k + 1].get()), 0};
    return {kld::kNoSibling, 0};
}

kld::TreeValue ListTree::ItemPrevSibling(int32_t position) {
    auto f = Flatten();
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return Bad();
    auto& list = ChildrenOf(f[static_cast<size_t>(position)].parent);
    for (size_t k = 1; k < list.size(); ++k)
        if (list[k].get() == f[static_cast<size_t>(position)].node) return {PositionOf(list[k - 1].get()), 0};
    return {kld::kNoSibling, 0};
}

kld::TreeValue ListTree::Shift(int32_t position) {
    auto f = Flatten();
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return Bad();
    return {f[static_cast<size_t>(position)].level, 0};
}

kld::TreeValue ListTree::ListCountEx(int32_t position) {
    auto f = Flatten();
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return Bad();
    int32_t level = f[static_cast<size_t>(position)].level, n = 0;
    for (size_t k = static_cast<size_t>(position) + 1; k < f.size() && f[k].level > level; ++k)
        ++n;
    return {n, 0};
}

kld::TreeValue ListTree::Expand(int32_t position) {
    auto f = Flatten();
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return Bad();
    return {f[static_cast<size_t>(position)].node->expanded ? -1 : 0, 0};
}

int32_t ListTree::SetExpand(int32_t position, bool expanded) {
    auto f = Flatten();
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return kld::kBadPosition;
    f[static_cast<size_t>(position)].node->expanded = expanded;
    return 0;
}

kld::TreeValue ListTree::CopyItem(int32_t position) {
    auto f = Flatten();
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return Bad();
    std::function<std::unique_ptr<Node>(const Node&)> clone = [&](const Node& n) {
        auto c = std::make_unique<Node>();
        c->lng = n.lng;
        c->grid = n.grid;
        for (const auto& ch : n.children)
            c->children.push_back(clone(*ch));
        return c;
    };
    int32_t h = m_nextBuffer++;
    m_buffers[h] = clone(*f[static_cast<size_t>(position)].node);
    return {h, 0};
}

int32_t ListTree::Add(int32_t position, int32_t buffer) {
    auto it = m_buffers.find(buffer);
    if (it == m_buffers.end()) return 380;
    auto f = Flatten();
    Node* p = position >= 0 && position < static_cast<int32_t>(f.size())
                  ? f[static_cast<size_t>(position)].node
                  : nullptr;
    std::function<std::unique_ptr<Node>(const Node&)> clone = [&](const Node& n) {
        auto c = std::make_unique<Node>();
        c->id = m_nextId++;
        c->lng = n.lng;
        c->grid = n.grid;
        for (const auto& ch : n.children)
            c->children.push_back(clone(*ch));
        return c;
    };
    auto c = clone(*it->second);
    m_new = c.get();
    ChildrenOf(p).push_back(std::move(c));
    return 0;
}

int32_t ListTree::Insert(int32_t position, int32_t buffer) {
    auto it = m_buffers.find(buffer);
    if (it == m_buffers.end()) return 380;
    auto f = Flatten();
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return Add(-1, buffer);
    std::function<std::unique_ptr<Node>(const Node&)> clone = [&](const Node& n) {
        auto c = std::make_unique<Node>();
        c->id = m_nextId++;
        c->lng = n.lng;
        c->grid = n.grid;
        for (const auto& ch : n.children)
            c->children.push_back(clone(*ch));
        return c;
    };
    const Flat& at = f[static_cast<size_t>(position)];
    auto& list = ChildrenOf(at.parent);
    for (size_t k = 0; k < list.size(); ++k) {
        if (list[k].get() == at.node) {
            auto c = clone(*it->second);
            m_new = c.get();
            list.insert(list.begin() + static_cast<ptrdiff_t>(k), std::move(c));
            return 0;
        }
    }
    return kld::kBadPosition;
}

int32_t ListTree::FreeBuffer(int32_t buffer) {
    return m_buffers.erase(buffer) ? 0 : 380;
}

int32_t ListTree::NewIndex() {
    return PositionOf(m_new);
}

kld::TreeValue ListTree::ItemBM(int32_t position) {
    auto f = Flatten();
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return Bad();
    return {f[static_cast<size_t>(position)].node->id, 0};
}

kld::TreeValue ListTree::IndexByBM(int32_t bookmark) {
    auto f = Flatten();
    for (size_t i = 0; i < f.size(); ++i)
        if (f[i].node->id == bookmark) return {static_cast<int32_t>(i), 0};
    return {0, 380};
}

int32_t ListTree::RemoveItem(int32_t position) {
    auto f = Flatten();
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return kld::kBadPosition;
    const Flat at = f[static_cast<size_t>(position)];
    auto& list = ChildrenOf(at.parent);
    // A selection or new item inside the removed subtree is dropped.
    int32_t last = position + ListCountEx(position).value;
    for (int32_t k = position; k <= last; ++k) {
        if (m_selected == f[static_cast<size_t>(k)].node) m_selected = nullptr;
        if (m_new == f[static_cast<size_t>(k)].node) m_new = nullptr;
    }
    for (size_t k = 0; k < list.size(); ++k) {
        if (list[k].get() == at.node) {
            list.erase(list.begin() + static_cast<ptrdiff_t>(k));
            return 0;
        }
    }
    return kld::kBadPosition;
}

int32_t ListTree::Clear() {
    m_top.clear();
    m_selected = nullptr;
    m_new = nullptr;
    return 0;
}

int32_t ListTree::SetItemGridVisible(int32_t position, bool visible) {
    auto f = Flatten();
    if (position < 0 || position >= static_cast<int32_t>(f.size())) return kld::kBadPosition;
    f[static_cast<size_t>(position)].node->grid = visible;
    return 0;
}

bool ListTree::GridVisible(int32_t position) {
    auto f = Flatten();
    return position >= 0 && position < static_cast<int32_t>(f.size()) &&
           f[static_cast<size_t>(position)].node->grid;
}

} // namespace kldtest
