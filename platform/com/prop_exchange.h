#pragma once
// Property exchange: a control lists its persistent properties once, in
// order, and the same list saves them, loads them or resets them to their
// defaults. Three forms: a property bag (named values a container keeps),
// a stream (this layer's own self-describing binary form, below) and reset.
//
// Every exchange call answers whether the value it was given now holds the
// value to apply: on load the stored value (coerced to the property's type)
// or, when it is missing or unusable, the default if there is one; on reset
// the default if there is one; on save it always answers true and changes
// nothing. A property that is missing and has no default keeps its value.
//
// Stream form, little-endian, one entry per saved property:
//   uint16 name length n (0 ends the set), n bytes of UTF-8 name,
//   uint16 value type, then the payload: I2 and BOOL 2 bytes; I4 and R4 4;
//   R8, CY and DATE 8; BSTR, byte array and object as uint32 length m and m
//   bytes (text in UTF-8; an object as its class id and its own data).
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/persist.h"
#include "platform/com/stream.h"
#include "platform/com/variant.h"

namespace plat {

class PropExchange {
  public:
    enum class Mode { Load, Save, Reset };

    virtual ~PropExchange() = default;
    Mode mode() const { return m_mode; }
    bool loading() const { return m_mode == Mode::Load; }
    bool saving() const { return m_mode == Mode::Save; }
    // The first failure of the exchange (a damaged or unreadable source, a
    // write that failed); S_OK otherwise.
    HRESULT status() const { return m_status; }

    // The properties' version: saving stores `current`; loading answers the
    // stored one (`current` when none is stored); reset answers `current`.
    uint32_t exchange_version(uint32_t current);

    bool exchange_bool(std::string_view name, bool& value, std::optional<bool> def = {});
    bool exchange_short(std::string_view name, int16_t& value, std::optional<int16_t> def = {});
    bool exchange_long(std::string_view name, int32_t& value, std::optional<int32_t> def = {});
    bool exchange_ulong(std::string_view name, uint32_t& value, std::optional<uint32_t> def = {});
    bool exchange_float(std::string_view name, float& value, std::optional<float> def = {});
    bool exchange_color(std::string_view name, uint32_t& value, std::optional<uint32_t> def = {});
    bool exchange_string(std::string_view name, std::string& value, std::optional<std::string> def = {});
    bool exchange_blob(std::string_view name, std::vector<uint8_t>& value);
    // A sub-object saved with its class id; loading creates only the classes
    // in `allowed`. A null object is saved as such.
    bool exchange_object(std::string_view name, ComPtr<IUnknown>& object, std::span<const CLSID> allowed);

  protected:
    explicit PropExchange(Mode mode) : m_mode(mode) {}
    void fail(HRESULT hr) {
        if (SUCCEEDED(m_status)) m_status = hr;
    }
    // Save: store `value`. Load: fill `value` with the stored value of the
    // name, answering false when there is none.
    virtual bool save_value(std::string_view name, const VARIANT& value) = 0;
    virtual bool load_value(std::string_view name, Variant& value) = 0;

  private:
    bool exchange_value(std::string_view name, Variant& value, VARTYPE type, const Variant* def);
    // One typed property through exchange_value: `make` turns a T into a
    // value, `take` a value (already of `type`) back into a T.
    template <class T, class Make, class Take>
    bool exchange_typed(std::string_view name, T& value, const std::optional<T>& def, VARTYPE type, Make make,
                        Take take) {
        Variant v = make(value);
        Variant d;
        if (def) d = make(*def);
        if (!exchange_value(name, v, type, def ? &d : nullptr)) return false;
        value = take(v);
        return true;
    }
    Mode m_mode;
    HRESULT m_status{S_OK};
};

// Reset to defaults.
class ResetExchange final : public PropExchange {
  public:
    ResetExchange() : PropExchange(Mode::Reset) {}

  protected:
    bool save_value(std::string_view, const VARIANT&) override { return true; }
    bool load_value(std::string_view, Variant&) override { return false; }
};

// Over a container's property bag.
class BagExchange final : public PropExchange {
  public:
    BagExchange(IPropertyBag* bag, bool loading)
        : PropExchange(loading ? Mode::Load : Mode::Save), m_bag(bag) {}

  protected:
    bool save_value(std::string_view name, const VARIANT& value) override;
    bool load_value(std::string_view name, Variant& value) override;

  private:
    ComPtr<IPropertyBag> m_bag;
};

// Over a stream in the form above. Loading reads the whole set at
// construction (a damaged set loads nothing and reports its error in
// status()); saving writes the end mark in finish().
class StreamExchange final : public PropExchange {
  public:
    StreamExchange(IStream* stream, bool loading);
    // Ends a save; answers status().
    HRESULT finish();

  protected:
    bool save_value(std::string_view name, const VARIANT& value) override;
    bool load_value(std::string_view name, Variant& value) override;

  private:
    HRESULT read_set();
    ComPtr<IStream> m_stream;
    std::vector<std::pair<std::string, Variant>> m_loaded;
    bool m_finished{false};
};

} // namespace plat
