// A server library registered with the register tool, created through the
// registry, driven late-bound and unregistered again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/com/dispatch_client.h"
#include "platform/com/errors.h"
#include "platform/com/event_sink.h"
#include "platform/com/events.h"
#include "platform/com/loader.h"
#include "platform/com/object.h"
#include "platform/com/server.h"
#include "platform/config/registry.h"
#include "sample_component.h"
#include "support/temp_dir.h"

using namespace plat;

namespace {

int regsvr(const std::string& options, const std::string& library = KL_SAMPLE_SERVER) {
    std::string cmd = std::string("'") + KL_REGSVR + "' " + options + " '" + library + "' >/dev/null 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class RegisteredServer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(regsvr("/s"), 0);
        ASSERT_EQ(create_instance(sample::kClsid, IID_IDispatch, obj.put_void()), S_OK);
    }

    // Invoke with raw DISPPARAMS, for checks of the exception record itself.
    HRESULT raw_call(DISPID id, Variant arg, EXCEPINFO& ei) {
        DISPPARAMS dp{&arg, nullptr, 1, 0};
        uint32_t arg_err = 0;
        return obj->Invoke(id, GUID_NULL, 0, DISPATCH_METHOD, &dp, nullptr, &ei, &arg_err);
    }

    ComPtr<IDispatch> obj;
};

TEST_F(RegisteredServer, WritesItsKeysAndIsCreatedByClassIdAndProgId) {
    Registry& reg = registry();
    const std::string key = clsid_key(sample::kClsid);
    EXPECT_EQ(reg.get_string(Hive::ClassesRoot, key + "\\InprocServer32", ""),
              std::filesystem::canonical(KL_SAMPLE_SERVER).string());
    EXPECT_EQ(reg.get_string(Hive::ClassesRoot, key + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(reg.get_string(Hive::ClassesRoot, key + "\\MiscStatus\\1", ""), "229777");
    EXPECT_TRUE(reg.key_exists(Hive::ClassesRoot, key + "\\Implemented Categories\\" +
                                                      guid_to_string(sample::kSafeForScripting)));
    EXPECT_TRUE(reg.key_exists(Hive::ClassesRoot, "TypeLib\\" + guid_to_string(sample::kLibid) + "\\1.0"));
    EXPECT_EQ(prog_id_from_clsid(sample::kClsid), sample::kProgId);

    ComPtr<IDispatch> by_progid;
    ASSERT_EQ(create_instance("kltest.sample.1", IID_IDispatch, by_progid.put_void()), S_OK);
    EXPECT_NE(by_progid.get(), obj.get());
    ComPtr<IDispatch> own_iid;
    EXPECT_EQ(by_progid.query(sample::kDispatchIid, own_iid), S_OK);

    // Without its type library registered, unregistering refuses and leaves
    // the class keys alone.
    const std::string typelib = "TypeLib\\" + guid_to_string(sample::kLibid);
    ASSERT_EQ(reg.delete_key(Hive::ClassesRoot, typelib), SysError::Success);
    EXPECT_EQ(regsvr("/u /s"), 5);
    EXPECT_TRUE(reg.key_exists(Hive::ClassesRoot, key));
    ASSERT_EQ(regsvr("/s"), 0);

    ASSERT_EQ(regsvr("/u /s"), 0);
    ComPtr<IDispatch> gone;
    EXPECT_EQ(create_instance(sample::kClsid, IID_IDispatch, gone.put_void()), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(create_instance(sample::kProgId, IID_IDispatch, gone.put_void()), CO_E_CLASSSTRING);
    EXPECT_FALSE(reg.key_exists(Hive::ClassesRoot, key));
    // Nothing left to unregister: the type library step refuses.
    EXPECT_EQ(regsvr("/u /s"), 5);
    // Objects made before stay usable: their library is never unloaded.
    Variant v;
    EXPECT_EQ(dispatch_get(obj.get(), sample::kCount, v), S_OK);
}

TEST_F(RegisteredServer, PropertiesByDispidAndByName) {
    CallError err;
    ASSERT_EQ(dispatch_put(obj.get(), sample::kName, Variant("tree")), S_OK);
    Variant v;
    ASSERT_EQ(dispatch_get(obj.get(), "caption", v), S_OK); // an alternative name, any case
    EXPECT_EQ(v.to_utf8(), "tree");

    // The value is coerced to the property's type.
    ASSERT_EQ(dispatch_put(obj.get(), "COUNT", Variant("42")), S_OK);
    ASSERT_EQ(dispatch_get(obj.get(), sample::kCount, v), S_OK);
    EXPECT_EQ(v.vt, VT_I2);
    EXPECT_EQ(v.iVal, 42);

    struct {
        Variant value;
        uint16_t number;
    } bad[] = {{Variant(int32_t(101)), 380}, {Variant(int32_t(40000)), 6}, {Variant("abc"), 13}};
    for (auto& b : bad) {
        EXPECT_TRUE(FAILED(dispatch_put(obj.get(), sample::kCount, b.value, {}, &err)));
        EXPECT_EQ(err.number, b.number);
    }
    ASSERT_EQ(dispatch_get(obj.get(), sample::kCount, v), S_OK);
    EXPECT_EQ(v.iVal, 42); // refused values change nothing

    Variant index[] = {Variant(int32_t(1))};
    ASSERT_EQ(dispatch_get(obj.get(), "Item", v, index), S_OK);
    EXPECT_EQ(v.to_utf8(), "one");
    ASSERT_EQ(dispatch_put(obj.get(), sample::kItem, Variant("uno"), index), S_OK);
    ASSERT_EQ(dispatch_get(obj.get(), sample::kItem, v, index), S_OK);
    EXPECT_EQ(v.to_utf8(), "uno");
    Variant bad_index[] = {Variant(int32_t(3))};
    EXPECT_EQ(dispatch_get(obj.get(), sample::kItem, v, bad_index, &err), DISP_E_EXCEPTION);
    EXPECT_EQ(err.number, 381);
    EXPECT_EQ(err.scode, make_hresult(0x800A017Du));

    std::vector<std::string> all;
    ASSERT_EQ(dispatch_for_each(obj.get(),
                                [&](const Variant& item) {
                                    all.push_back(item.to_utf8());
                                    return all.size() < 2; // stop early
                                }),
              S_OK);
    EXPECT_EQ(all, (std::vector<std::string>{"zero", "uno"}));

    EXPECT_EQ(dispatch_get(obj.get(), DISPID(99), v), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(dispatch_get(obj.get(), "NoSuchThing", v, {}, &err), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(err.number, 438);
}

TEST_F(RegisteredServer, AccessRulesRefuseWithTheStandardNumbers) {
    CallError err;
    Variant v;
    EXPECT_EQ(dispatch_put(obj.get(), sample::kReadOnly, Variant(int32_t(1)), {}, &err), DISP_E_EXCEPTION);
    EXPECT_EQ(err.number, 383);
    EXPECT_EQ(dispatch_get(obj.get(), sample::kReadOnly, v), S_OK);

    ASSERT_EQ(dispatch_get(obj.get(), sample::kSecret, v), S_OK);
    ASSERT_EQ(dispatch_put(obj.get(), sample::kDesignMode, Variant::boolean(true)), S_OK);
    EXPECT_EQ(dispatch_get(obj.get(), sample::kSecret, v, {}, &err), DISP_E_EXCEPTION);
    EXPECT_EQ(err.number, 394);
    EXPECT_EQ(dispatch_put(obj.get(), sample::kSecret, Variant("s")), S_OK); // writing stays allowed
    EXPECT_EQ(dispatch_put(obj.get(), sample::kRunOnly, Variant(int32_t(2)), {}, &err), DISP_E_EXCEPTION);
    EXPECT_EQ(err.number, 383);
    ASSERT_EQ(dispatch_put(obj.get(), sample::kDesignMode, Variant::boolean(false)), S_OK);
    EXPECT_EQ(dispatch_put(obj.get(), sample::kRunOnly, Variant(int32_t(2))), S_OK);
}

TEST_F(RegisteredServer, MethodsWithOptionalNamedAndByReferenceArguments) {
    Variant r;
    Variant one[] = {Variant(int32_t(5))};
    ASSERT_EQ(dispatch_call(obj.get(), sample::kAdd, one, &r), S_OK);
    EXPECT_EQ(r.lVal, 6); // b omitted: 1
    Variant two[] = {Variant("5"), Variant(2.0)};
    ASSERT_EQ(dispatch_call(obj.get(), "add", two, &r), S_OK);
    EXPECT_EQ(r.lVal, 7);
    Variant explicit_missing[] = {Variant(int32_t(5)), Variant::missing()};
    ASSERT_EQ(dispatch_call(obj.get(), sample::kAdd, explicit_missing, &r), S_OK);
    EXPECT_EQ(r.lVal, 6);

    // Named argument "b" (position 1) by its name.
    std::u16string add = u"Add", b = u"B";
    OLECHAR* names[] = {add.data(), b.data()};
    DISPID ids[2];
    ASSERT_EQ(obj->GetIDsOfNames(GUID_NULL, names, 2, 0, ids), S_OK);
    EXPECT_EQ(ids[0], sample::kAdd);
    EXPECT_EQ(ids[1], 1);
    VARIANT rg[2] = {Variant(int32_t(10)).detach(), Variant(int32_t(1)).detach()}; // named first
    DISPID named[] = {1};
    DISPPARAMS dp{rg, named, 2, 1};
    ASSERT_EQ(obj->Invoke(sample::kAdd, GUID_NULL, 0, DISPATCH_METHOD, &dp, &r, nullptr, nullptr), S_OK);
    EXPECT_EQ(r.lVal, 11);
    named[0] = 5; // no such parameter
    EXPECT_EQ(obj->Invoke(sample::kAdd, GUID_NULL, 0, DISPATCH_METHOD, &dp, &r, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);
    named[0] = 0; // "a" named and also given by position
    EXPECT_EQ(obj->Invoke(sample::kAdd, GUID_NULL, 0, DISPATCH_METHOD, &dp, &r, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    // A put whose value comes without the property-put name.
    VARIANT value = Variant("plain").detach();
    DISPPARAMS put_dp{&value, nullptr, 1, 0};
    ASSERT_EQ(
        obj->Invoke(sample::kName, GUID_NULL, 0, DISPATCH_PROPERTYPUT, &put_dp, nullptr, nullptr, nullptr),
        S_OK);
    VariantClear(&value);
    Variant name;
    ASSERT_EQ(dispatch_get(obj.get(), sample::kName, name), S_OK);
    EXPECT_EQ(name.to_utf8(), "plain");

    EXPECT_EQ(dispatch_call(obj.get(), sample::kAdd, {}, &r), DISP_E_PARAMNOTOPTIONAL);
    Variant three[] = {Variant(int32_t(1)), Variant(int32_t(2)), Variant(int32_t(3))};
    EXPECT_EQ(dispatch_call(obj.get(), sample::kAdd, three, &r), DISP_E_BADPARAMCOUNT);
    CallError err;
    Variant not_a_number[] = {Variant("x")};
    EXPECT_EQ(dispatch_call(obj.get(), sample::kAdd, not_a_number, &r, &err), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(err.number, 13);

    // By reference: a Variant target and a typed Long target both receive
    // the new values.
    Variant x("17");
    int32_t y = 3;
    VARIANT y_ref{};
    y_ref.vt = VT_BYREF | VT_I4;
    y_ref.plVal = &y;
    Variant swap_args[] = {Variant::ref(&x), Variant(y_ref)};
    ASSERT_EQ(dispatch_call(obj.get(), sample::kSwap, swap_args), S_OK);
    EXPECT_EQ(x.vt, VT_I4);
    EXPECT_EQ(x.lVal, 3);
    EXPECT_EQ(y, 17);
    // Passed by value, nothing is written back.
    Variant by_value[] = {Variant(int32_t(1)), Variant(int32_t(2))};
    ASSERT_EQ(dispatch_call(obj.get(), sample::kSwap, by_value), S_OK);
    EXPECT_EQ(by_value[0].lVal, 1);
}

TEST_F(RegisteredServer, NumberedErrorsArriveInExcepinfo) {
    EXCEPINFO ei{};
    // A component's own code: wCode with its text, scode left 0.
    ASSERT_EQ(raw_call(sample::kFail, Variant(int16_t(20103)), ei), DISP_E_EXCEPTION);
    EXPECT_EQ(ei.wCode, 20103);
    EXPECT_EQ(ei.scode, 0);
    EXPECT_EQ(bstr_to_utf8(ei.bstrDescription), "Item not found");
    clear_excepinfo(&ei);
    // A container's run-time number: scode in the control facility, wCode 0.
    ASSERT_EQ(raw_call(sample::kFail, Variant(int16_t(380)), ei), DISP_E_EXCEPTION);
    EXPECT_EQ(ei.wCode, 0);
    EXPECT_EQ(ei.scode, make_hresult(0x800A017Cu));
    clear_excepinfo(&ei);

    CallError err;
    Variant args[] = {Variant(int16_t(20103))};
    EXPECT_EQ(dispatch_call(obj.get(), "Fail", args, nullptr, &err), DISP_E_EXCEPTION);
    EXPECT_EQ(err.number, 20103);
    EXPECT_EQ(err.scode, make_hresult(0x80040067u));
    EXPECT_EQ(err.description, "Item not found");
}

// An event sink as a container would write it.
class Sink final : public DispatchObject<Sink> {
  public:
    static const DispatchTable<Sink>& dispatch_table() {
        static const DispatchTable<Sink> table{
            {.id = sample::kChanged,
             .name = "Changed",
             .kind = DispKind::Method,
             .type = VT_EMPTY,
             .params = {{"Text", VT_BSTR}, {"Cancel", VT_BOOL, kParamByRef}},
             .get =
                 [](Sink& s, DispCall& c) {
                     s.texts.push_back(c.text(0));
                     c.ref(1) = Variant::boolean(s.cancel);
                     s.source.reset(); // may be the last reference to the source
                 }},
        };
        return table;
    }
    std::vector<std::string> texts;
    bool cancel{true};
    ComPtr<IDispatch> source;
};

TEST_F(RegisteredServer, EventsReachConnectedSinks) {
    ComPtr<IConnectionPointContainer> cpc;
    ASSERT_EQ(obj.query(IConnectionPointContainer::kIID, cpc), S_OK);
    ComPtr<IConnectionPoint> cp;
    ASSERT_EQ(cpc->FindConnectionPoint(sample::kEventsIid, cp.put()), S_OK);
    EXPECT_EQ(cpc->FindConnectionPoint(IID_IDispatch, cp.put()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(cpc->FindConnectionPoint(sample::kEventsIid, cp.put()), S_OK);

    auto sink = make_object<Sink>();
    uint32_t cookie = 0;
    ASSERT_EQ(cp->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
    Variant r;
    Variant text[] = {Variant("first")};
    ASSERT_EQ(dispatch_call(obj.get(), sample::kFire, text, &r), S_OK);
    EXPECT_EQ(r.vt, VT_BOOL);
    EXPECT_EQ(r.boolVal, VARIANT_TRUE); // the sink's Cancel came back
    EXPECT_EQ(sink->texts, std::vector<std::string>{"first"});

    ASSERT_EQ(cp->Unadvise(cookie), S_OK);
    EXPECT_EQ(cp->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(dispatch_call(obj.get(), sample::kFire, text, &r), S_OK);
    EXPECT_EQ(r.boolVal, VARIANT_FALSE);
    EXPECT_EQ(sink->texts.size(), 1u);

    // The sink drops the last reference to the source while the event runs.
    ASSERT_EQ(cp->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
    IDispatch* raw = obj.get();
    sink->source = std::move(obj);
    cp.reset();
    cpc.reset();
    Variant last[] = {Variant("last")};
    EXPECT_EQ(dispatch_call(raw, sample::kFire, last, &r), S_OK);
    EXPECT_EQ(sink->texts.back(), "last");
    EXPECT_FALSE(sink->source);
}

TEST_F(RegisteredServer, GenericSinkSeesEveryEventAndAnswersByReference) {
    std::vector<std::pair<DISPID, std::string>> seen;
    auto sink = make_event_sink(sample::kEventsIid, [&](DISPID id, EventArgs& args) {
        seen.emplace_back(id, args.value(0).to_utf8());
        EXPECT_EQ(args.count(), 2u);
        EXPECT_EQ(args.set(1, Variant(int32_t(1))), S_OK); // coerced to the Boolean it points at
        EXPECT_EQ(args.set(2, Variant()), E_INVALIDARG);
    });
    uint32_t cookie = 0;
    ASSERT_EQ(connect_events(obj.get(), sample::kEventsIid, sink.get(), cookie), S_OK);
    Variant r;
    Variant text[] = {Variant("via generic")};
    ASSERT_EQ(dispatch_call(obj.get(), sample::kFire, text, &r), S_OK);
    EXPECT_EQ(r.boolVal, VARIANT_TRUE);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].first, sample::kChanged);
    EXPECT_EQ(seen[0].second, "via generic");
    EXPECT_EQ(disconnect_events(obj.get(), sample::kEventsIid, cookie), S_OK);
    EXPECT_EQ(connect_events(sink.get(), sample::kEventsIid, sink.get(), cookie), E_NOINTERFACE);
}

TEST(RegisterTool, RefusesWhatIsNotAServer) {
    kltest::TempDir dir;
    kltest::write_file(dir.path() / "text.so", "not a library");
    EXPECT_EQ(regsvr("", (dir.path() / "text.so").string()), 3);
    EXPECT_EQ(regsvr("", (dir.path() / "missing.so").string()), 3);
    EXPECT_EQ(regsvr("", KL_NOT_A_SERVER), 4);
    EXPECT_EQ(regsvr("/x"), 1);
    EXPECT_EQ(call_library_registration(KL_NOT_A_SERVER, true), CO_E_ERRORINDLL);
}

// Classes linked into the program are found without any registration.
class Linked final : public DispatchObject<Linked> {
  public:
    static const DispatchTable<Linked>& dispatch_table() {
        static const DispatchTable<Linked> table{
            {.id = 1,
             .name = "Answer",
             .kind = DispKind::Property,
             .type = VT_I4,
             .get = [](Linked&, DispCall& c) { c.result() = Variant(int32_t(42)); }},
        };
        return table;
    }
};

TEST(Loader, LinkedClassesComeFirstAndUnknownClassesFail) {
    constexpr CLSID kLinked = make_guid("{6A1D3C2F-5B7E-4C11-9E2A-7F00C0A80001}");
    ComPtr<IDispatch> d;
    EXPECT_EQ(create_instance(kLinked, IID_IDispatch, d.put_void()), REGDB_E_CLASSNOTREG);
    register_linked_class(kLinked, creator_of<Linked>(), "KLTest.Linked");
    ASSERT_EQ(create_instance("KLTest.Linked", IID_IDispatch, d.put_void()), S_OK);
    Variant v;
    ASSERT_EQ(dispatch_get(d.get(), "answer", v), S_OK);
    EXPECT_EQ(v.lVal, 42);
    revoke_linked_class(kLinked);
    EXPECT_EQ(create_instance(kLinked, IID_IDispatch, d.put_void()), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(create_instance("{not a class id}", IID_IDispatch, d.put_void()), CO_E_CLASSSTRING);

    // A registered library path that does not load.
    registry().set_string(Hive::ClassesRoot, inproc_server_key(kLinked), "", "/nonexistent/lib.so");
    EXPECT_EQ(create_instance(kLinked, IID_IDispatch, d.put_void()), CO_E_DLLNOTFOUND);
}

} // namespace
