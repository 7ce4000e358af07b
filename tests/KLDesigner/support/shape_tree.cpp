#include "support/shape_tree.h"

#include <cctype>

namespace kldtest {

std::string ShapeTree::ShapeFromMembers() {
    std::string out;
    const int32_t count = ListCount();
    for (int32_t p = 0; p < count;) {
        if (!out.empty()) out += ' ';
        out += "G" + std::to_string(ItemLngValue(p).value);
        const int32_t n = ListCountEx(p).value;
        if (n > 0) {
            out += '(';
            for (int32_t k = 1; k <= n; ++k) {
                if (k > 1) out += ',';
                out += "I" + std::to_string(ItemLngValue(p + k).value);
            }
            out += ')';
        }
        p += n + 1;
    }
    return out;
}

void ShapeTree::BuildFromShape(const std::string& shape) {
    Clear();
    int32_t parent = -1;
    size_t i = 0;
    while (i < shape.size()) {
        char c = shape[i];
        if (c == 'G' || c == 'I') {
            size_t j = i + 1;
            while (j < shape.size() &&
                   (std::isdigit(static_cast<unsigned char>(shape[j])) || shape[j] == '-'))
                ++j;
            const int32_t lng = std::stoi(shape.substr(i + 1, j - i - 1));
            const int32_t pos = AddChild(c == 'G' ? -1 : parent, lng);
            if (c == 'G') parent = pos;
            i = j;
        } else {
            ++i;
        }
    }
    SetListIndex(-1);
}

} // namespace kldtest
