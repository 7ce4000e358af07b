#include "support/metafiles.h"

#include <cstdint>
#include <initializer_list>

namespace kltest {

namespace {

template <class T> void Put(std::string& out, T v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

} // namespace

std::string RedSquareBlueEllipseWmf() {
    std::string rec;
    auto record = [&](uint16_t fn, std::initializer_list<int16_t> words) {
        Put<uint32_t>(rec, uint32_t(3 + words.size()));
        Put<uint16_t>(rec, fn);
        for (int16_t w : words)
            Put<int16_t>(rec, w);
    };
    auto brush = [&](uint32_t colour) {
        record(0x02FC, {0, int16_t(colour & 0xFFFF), int16_t(colour >> 16), 0});
    };
    record(0x020B, {0, 0});          // window origin (y, x)
    record(0x020C, {100, 200});      // window extent (y, x)
    record(0x02FA, {5, 0, 0, 0, 0}); // a pen that draws nothing: object 0
    record(0x012D, {0});
    brush(0x0000FF); // object 1
    record(0x012D, {1});
    record(0x041B, {100, 100, 0, 0}); // rectangle (bottom, right, top, left)
    brush(0xFF0000);                  // object 2
    record(0x012D, {2});
    record(0x0418, {100, 200, 0, 100}); // ellipse
    record(0x0000, {});
    std::string out;
    Put<uint32_t>(out, 0x9AC6CDD7u);
    Put<uint16_t>(out, 0);
    for (int16_t v : {0, 0, 100, 50})
        Put<int16_t>(out, v);
    Put<uint16_t>(out, 96); // units per inch
    Put<uint32_t>(out, 0);
    Put<uint16_t>(out, 0);
    Put<uint16_t>(out, 1);
    Put<uint16_t>(out, 9);
    Put<uint16_t>(out, 0x300);
    Put<uint32_t>(out, uint32_t(9 + rec.size() / 2));
    Put<uint16_t>(out, 3);
    Put<uint32_t>(out, 8);
    Put<uint16_t>(out, 0);
    return out + rec;
}

std::string RedSquareBlueEllipseEmf() {
    std::string rec;
    auto record = [&](uint32_t type, std::initializer_list<uint32_t> values) {
        Put<uint32_t>(rec, type);
        Put<uint32_t>(rec, uint32_t(8 + 4 * values.size()));
        for (uint32_t v : values)
            Put<uint32_t>(rec, v);
    };
    record(37, {0x80000008u});       // the stock pen that draws nothing
    record(39, {1, 0, 0x0000FF, 0}); // red brush 1
    record(37, {1});
    record(43, {0, 0, 50, 50});      // rectangle
    record(39, {2, 0, 0xFF0000, 0}); // blue brush 2
    record(37, {2});
    record(42, {50, 0, 100, 50}); // ellipse
    record(14, {0, 16, 20});
    std::string out;
    Put<uint32_t>(out, 1);
    Put<uint32_t>(out, 88);
    for (int32_t v : {0, 0, 99, 49, 0, 0, 2646, 1323})
        Put<int32_t>(out, v);
    out += " EMF";
    Put<uint32_t>(out, 0x10000);
    Put<uint32_t>(out, uint32_t(88 + rec.size()));
    Put<uint32_t>(out, 9);
    Put<uint16_t>(out, 3);
    Put<uint16_t>(out, 0);
    for (int i = 0; i < 3; ++i)
        Put<uint32_t>(out, 0);
    for (int32_t v : {1024, 768, 320, 240})
        Put<int32_t>(out, v);
    return out + rec;
}

} // namespace kltest
