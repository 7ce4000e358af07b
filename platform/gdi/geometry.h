#pragma once
// Integer geometry of the drawing layer. Rectangles keep the window system's
// convention: right and bottom are exclusive, so a rectangle (0, 0, 10, 10)
// covers 100 pixels and touching rectangles share no pixel.
#include <algorithm>
#include <cstdint>

namespace plat::gdi {

struct Point {
    int32_t x{0};
    int32_t y{0};
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int32_t cx{0};
    int32_t cy{0};
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    int32_t left{0};
    int32_t top{0};
    int32_t right{0};
    int32_t bottom{0};

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    Rect Offset(int32_t dx, int32_t dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    Rect Inflate(int32_t dx, int32_t dy) const { return {left - dx, top - dy, right + dx, bottom + dy}; }
    // The common part; an empty rectangle (all zero) when they do not meet.
    Rect Intersect(const Rect& o) const {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
               std::min(bottom, o.bottom)};
        return r.IsEmpty() ? Rect{} : r;
    }
    // The smallest rectangle holding both; an empty one adds nothing.
    Rect Union(const Rect& o) const {
        if (IsEmpty()) return o;
        if (o.IsEmpty()) return *this;
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
                std::max(bottom, o.bottom)};
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// a * b / c in 64 bits, rounded half away from zero; -1 when c is 0 or the
// result does not fit 32 bits.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

} // namespace plat::gdi
