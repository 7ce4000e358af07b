// The dispatch table's own contract, on objects made in the test: members
// found by number however the numbers spread, and calls with more
// arguments than a call usually has.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/com/dispatch_client.h"
#include "platform/com/object.h"

using namespace plat;

namespace {

// A property that reads as `row`, the row's place in its table.
template <class T> DispMember<T> RowAnswering(DISPID id, std::string_view name, int32_t row) {
    return {.id = id, .name = name, .kind = DispKind::Property, .type = VT_I4, .get = [row](T&, DispCall& c) {
                c.result() = Variant(row);
            }};
}

// Numbers close together, the standard negative ones among them.
class Close final : public DispatchObject<Close> {
  public:
    static const DispatchTable<Close>& dispatch_table() {
        static const DispatchTable<Close> table{
            RowAnswering<Close>(3, "Three", 0),
            RowAnswering<Close>(-4, "_NewEnum", 1),
            RowAnswering<Close>(7, "Seven", 2),
            RowAnswering<Close>(3, "ThreeAgain", 3),
            RowAnswering<Close>(DISPID_VALUE, "Value", 4),
        };
        return table;
    }
};

// Numbers far apart.
class Scattered final : public DispatchObject<Scattered> {
  public:
    static const DispatchTable<Scattered>& dispatch_table() {
        static const DispatchTable<Scattered> table{
            RowAnswering<Scattered>(0x60020000, "High", 0),
            RowAnswering<Scattered>(1, "One", 1),
            RowAnswering<Scattered>(INT_MIN + 1, "Lowest", 2),
            RowAnswering<Scattered>(0x60020000, "HighAgain", 3),
            RowAnswering<Scattered>(INT_MAX, "Highest", 4),
        };
        return table;
    }
};

class Empty final : public DispatchObject<Empty> {
  public:
    static const DispatchTable<Empty>& dispatch_table() {
        static const DispatchTable<Empty> table{};
        return table;
    }
};

// What a call by number answers: the row read, or -1 when it failed.
int32_t RowRead(IDispatch* obj, DISPID id, HRESULT& hr) {
    Variant v;
    hr = dispatch_get(obj, id, v);
    return SUCCEEDED(hr) ? v.to_i4() : -1;
}

TEST(DispatchTable, FindsEachNumberAndTheFirstRowOfARepeatedOne) {
    auto close = make_object<Close>();
    auto scattered = make_object<Scattered>();
    auto empty = make_object<Empty>();
    const struct Case {
        IDispatch* obj;
        const DispatchTableBase& table;
        DISPID id;
        int32_t row; // -1: no such member
    } cases[] = {
        {close.get(), Close::dispatch_table(), 3, 0},
        {close.get(), Close::dispatch_table(), -4, 1},
        {close.get(), Close::dispatch_table(), 7, 2},
        {close.get(), Close::dispatch_table(), DISPID_VALUE, 4},
        {close.get(), Close::dispatch_table(), 5, -1},  // a gap
        {close.get(), Close::dispatch_table(), -5, -1}, // below the lowest
        {close.get(), Close::dispatch_table(), 8, -1},  // above the highest
        {close.get(), Close::dispatch_table(), INT_MIN, -1},
        {close.get(), Close::dispatch_table(), INT_MAX, -1},
        {scattered.get(), Scattered::dispatch_table(), 0x60020000, 0},
        {scattered.get(), Scattered::dispatch_table(), 1, 1},
        {scattered.get(), Scattered::dispatch_table(), INT_MIN + 1, 2},
        {scattered.get(), Scattered::dispatch_table(), INT_MAX, 4},
        {scattered.get(), Scattered::dispatch_table(), 2, -1},
        {scattered.get(), Scattered::dispatch_table(), INT_MIN, -1},
        {scattered.get(), Scattered::dispatch_table(), 0x60020001, -1},
        {empty.get(), Empty::dispatch_table(), 0, -1},
        {empty.get(), Empty::dispatch_table(), -4, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const DispMemberInfo* m = c.table.find(c.id);
        HRESULT hr = S_OK;
        EXPECT_EQ(RowRead(c.obj, c.id, hr), c.row);
        if (c.row < 0) {
            EXPECT_EQ(m, nullptr);
            EXPECT_EQ(hr, DISP_E_MEMBERNOTFOUND);
        } else {
            ASSERT_NE(m, nullptr);
            EXPECT_EQ(m, &c.table.members()[size_t(c.row)]);
        }
    }
    // A repeated number's later row is still found by its name, and answers
    // as the first row of that number (calls go by number).
    EXPECT_EQ(Close::dispatch_table().find("threeagain"), &Close::dispatch_table().members()[3]);
    DISPID id = 0;
    ASSERT_EQ(dispatch_id(close.get(), "ThreeAgain", id), S_OK);
    EXPECT_EQ(id, 3);
}

// A method of ten arguments, more than a call keeps room for: the handler
// sees them in order, coerced, and writes the last one back.
class Wide final : public DispatchObject<Wide> {
  public:
    static constexpr DISPID kJoin = 1;
    static const DispatchTable<Wide>& dispatch_table() {
        static const DispatchTable<Wide> table{
            {.id = kJoin,
             .name = "Join",
             .kind = DispKind::Method,
             .type = VT_BSTR,
             .params = {{"a", VT_I4},
                        {"b", VT_BSTR},
                        {"c", VT_I2},
                        {"d", VT_VARIANT},
                        {"e", VT_BSTR},
                        {"f", VT_I4},
                        {"g", VT_VARIANT, kParamOptional},
                        {"h", VT_BSTR},
                        {"i", VT_I4, kParamOptional},
                        {"j", VT_BSTR, kParamByRef}},
             .get =
                 [](Wide&, DispCall& c) {
                     std::string out;
                     for (size_t i = 0; i < c.arg_count(); ++i) {
                         if (!out.empty()) out += ',';
                         out += c.has_arg(i) ? c.arg(i).to_utf8() : "-";
                     }
                     c.ref(9) = Variant(out);
                     c.result() = Variant(std::string_view("joined"));
                 }},
        };
        return table;
    }
};

TEST(DispatchTable, CallsWithMoreArgumentsThanUsual) {
    auto wide = make_object<Wide>();
    Variant back(std::string_view("before"));
    const std::vector<Variant> args = {Variant(std::string_view("1")),
                                       Variant(int32_t(2)),
                                       Variant(3.0),
                                       Variant(std::string_view("four")),
                                       Variant(int16_t(5)),
                                       Variant(std::string_view("6")),
                                       Variant::missing(),
                                       Variant(8.0f),
                                       Variant(int32_t(9)),
                                       Variant::ref(&back)};
    Variant result;
    CallError err;
    ASSERT_EQ(dispatch_call(wide.get(), Wide::kJoin, args, &result, &err), S_OK) << err.description;
    EXPECT_EQ(result.to_utf8(), "joined");
    EXPECT_EQ(back.to_utf8(), "1,2,3,four,5,6,-,8,9,before");

    // Named arguments reach their places past the usual room too.
    Variant named_back(std::string_view("x"));
    std::vector<Variant> rg = {Variant(int32_t(10)), Variant::ref(&named_back)};
    for (int i = 7; i >= 0; --i)
        rg.push_back(Variant(int32_t(i)));
    DISPID names[] = {8, 9};
    DISPPARAMS dp{rg.data(), names, static_cast<uint32_t>(rg.size()), 2};
    EXCEPINFO ei{};
    uint32_t arg_err = 0;
    ASSERT_EQ(wide->Invoke(Wide::kJoin, GUID_NULL, 0, DISPATCH_METHOD, &dp, nullptr, &ei, &arg_err), S_OK);
    EXPECT_EQ(named_back.to_utf8(), "0,1,2,3,4,5,6,7,10,x");
}

} // namespace
