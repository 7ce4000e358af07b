// The control's member table against a hand-typed description of its
// interface: every member with its number, names, kind, type, arguments and
// access, in both directions. Links the control's sources directly; it never
// loads the shared library.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "vinca/control/control.h"
#include "vinca/control/objects/cell_def.h"
#include "vinca/control/objects/col_defs.h"
#include "vinca/control/objects/data_object.h"
#include "vinca/control/objects/grid.h"
#include "vinca/control/objects/level_defs.h"
#include "vinca/control/objects/values.h"

namespace {

struct Expected {
    int32_t id{};
    std::string name, alias, kind, type, args, access;
};

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::stringstream in(s);
    std::string part;
    while (std::getline(in, part, sep))
        out.push_back(part);
    return out;
}

std::vector<Expected> LoadFixture() {
    std::ifstream in(std::string(KL_TEST_DATA_DIR) + "/control/dvinca5_members.tsv");
    std::vector<Expected> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        auto f = Split(line, '\t');
        if (f.size() != 7) {
            ADD_FAILURE() << "bad fixture line: " << line;
            continue;
        }
        rows.push_back({std::stoi(f[0]), f[1], f[2], f[3], f[4], f[5], f[6]});
    }
    return rows;
}

std::string TypeName(plat::VARTYPE t) {
    switch (t) {
    case plat::VT_EMPTY:
        return "EMPTY";
    case plat::VT_I2:
        return "I2";
    case plat::VT_I4:
        return "I4";
    case plat::VT_R4:
        return "R4";
    case plat::VT_BOOL:
        return "BOOL";
    case plat::VT_BSTR:
        return "BSTR";
    case plat::VT_VARIANT:
        return "VARIANT";
    case plat::VT_DISPATCH:
        return "DISPATCH";
    case plat::VT_UNKNOWN:
        return "UNKNOWN";
    default:
        return "vt" + std::to_string(t);
    }
}

std::string Args(const plat::DispMemberInfo& m) {
    std::string out;
    for (const auto& p : m.params) {
        if (!out.empty()) out += ',';
        out += std::string(p.name) + ':' + TypeName(p.type);
        if (p.flags & plat::kParamOptional) out += ":opt";
        if (p.flags & plat::kParamByRef) out += ":ref";
    }
    return out.empty() ? "-" : out;
}

// The fixture's access words as the table's access bits.
uint8_t AccessBits(const std::string& words) {
    uint8_t bits = 0;
    for (const std::string& w : Split(words, ',')) {
        if (w == "get-design") bits |= plat::kNoGetAtDesign;
        if (w == "get") bits |= plat::kNoGet;
        if (w == "put") bits |= plat::kNoPut;
        if (w == "put-design-394") bits |= plat::kNoPutAtDesign | plat::kPutRefusalAsGet;
    }
    return bits;
}

} // namespace

TEST(DispatchTable, MatchesTheInterfaceDescriptionBothWays) {
    const auto& table = vinca::CVincaCtrl::dispatch_table();
    const auto fixture = LoadFixture();
    ASSERT_EQ(fixture.size(), 237u);

    std::set<int32_t> described;
    for (const Expected& e : fixture) {
        SCOPED_TRACE(e.name);
        described.insert(e.id);
        const plat::DispMemberInfo* m = table.find(e.id);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->name, e.name);
        EXPECT_EQ(table.find(e.name), m);
        if (e.alias != "-") {
            ASSERT_EQ(m->aliases.size(), 1u);
            EXPECT_EQ(m->aliases[0], e.alias);
            EXPECT_EQ(table.find(e.alias), m);
        } else {
            EXPECT_TRUE(m->aliases.empty());
        }
        EXPECT_EQ(m->kind == plat::DispKind::Method ? "method" : "prop", e.kind);
        EXPECT_EQ(TypeName(m->type), e.type);
        EXPECT_EQ(Args(*m), e.args);
        EXPECT_EQ(m->access, AccessBits(e.access)) << e.access;
    }
    for (const auto& m : table.members())
        EXPECT_TRUE(described.count(m.id)) << m.name << " is not in the description";
    EXPECT_EQ(table.members().size(), fixture.size());
    EXPECT_EQ(table.find(155), nullptr);
    EXPECT_EQ(table.find(169), nullptr);
}

// The automation objects' tables against their own description.
TEST(DispatchTable, ObjectInterfacesMatchTheirDescription) {
    std::ifstream in(std::string(KL_TEST_DATA_DIR) + "/control/object_members.tsv");
    std::map<std::string, const plat::DispatchTableBase*> tables = {
        {"IVincaValues", &vinca::COleValues::dispatch_table()},
        {"IVincaValue", &vinca::COleValue::dispatch_table()},
        {"IVincaLevelDefs", &vinca::COleLevelDefs::dispatch_table()},
        {"IVincaLevelDef", &vinca::COleLevelDef::dispatch_table()},
        {"IVincaCellDef", &vinca::COleCellDef::dispatch_table()},
        {"IVincaGrid", &vinca::COleGrid::dispatch_table()},
        {"IVincaGridCell", &vinca::COleGridCell::dispatch_table()},
        {"IVincaColDefs", &vinca::COleColDefs::dispatch_table()},
        {"IVincaColDef", &vinca::COleColDef::dispatch_table()},
        {"IVincaDataObject", &vinca::COleVincaDataObject::dispatch_table()},
        {"IVincaDataObjectFiles", &vinca::CVincaDataObjectFiles::dispatch_table()},
    };
    std::map<std::string, size_t> described;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        auto f = Split(line, '\t');
        ASSERT_EQ(f.size(), 7u) << line;
        SCOPED_TRACE(f[0] + "." + f[2]);
        ASSERT_TRUE(tables.count(f[0]));
        const plat::DispMemberInfo* m = tables[f[0]]->find(std::stoi(f[1]));
        ASSERT_NE(m, nullptr);
        ++described[f[0]];
        EXPECT_EQ(m->name, f[2]);
        EXPECT_EQ(m->kind == plat::DispKind::Method ? "method" : "prop", f[3]);
        EXPECT_EQ(TypeName(m->type), f[4]);
        EXPECT_EQ(Args(*m), f[5]);
        EXPECT_EQ(m->access, AccessBits(f[6]));
    }
    for (const auto& [name, table] : tables)
        EXPECT_EQ(table->members().size(), described[name]) << name << " has members not described";
}
