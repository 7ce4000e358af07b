#include "platform/com/enum_variant.h"

#include <memory>

#include "platform/com/errors.h"
#include "platform/com/object.h"

namespace plat {

namespace {

class VariantEnum final : public IEnumVARIANT, public CountedObject {
  public:
    VariantEnum(std::shared_ptr<const EnumSource> source, uint32_t pos)
        : m_source(std::move(source)), m_pos(pos) {}

    HRESULT QueryInterface(REFIID iid, void** out) override {
        return query_self<IEnumVARIANT>(this, iid, out, {IEnumVARIANT::kIID});
    }
    ULONG AddRef() override { return add_ref(); }
    ULONG Release() override { return release_ref(); }

    HRESULT Next(uint32_t count, VARIANT* out, uint32_t* fetched) override {
        if (fetched) *fetched = 0;
        if (count && !out) return E_POINTER;
        for (uint32_t i = 0; i < count; ++i)
            VariantInit(&out[i]);
        uint32_t filled = 0;
        while (filled < count && m_pos < m_source->count()) {
            HRESULT hr = m_source->item(m_pos, &out[filled]);
            if (FAILED(hr)) {
                for (uint32_t i = 0; i < filled; ++i)
                    VariantClear(&out[i]);
                return hr;
            }
            ++filled;
            ++m_pos;
        }
        if (fetched) *fetched = filled;
        return filled == count ? S_OK : S_FALSE;
    }

    HRESULT Skip(uint32_t count) override {
        const uint32_t total = m_source->count();
        const uint32_t left = m_pos < total ? total - m_pos : 0;
        const uint32_t step = count < left ? count : left;
        m_pos += step;
        return step == count ? S_OK : S_FALSE;
    }

    HRESULT Reset() override {
        m_pos = 0;
        return S_OK;
    }

    HRESULT Clone(IEnumVARIANT** out) override {
        if (!out) return E_POINTER;
        *out = new VariantEnum(m_source, m_pos);
        return S_OK;
    }

  private:
    std::shared_ptr<const EnumSource> m_source;
    uint32_t m_pos;
};

} // namespace

ComPtr<IEnumVARIANT> create_variant_enum(EnumSource source) {
    return ComPtr<IEnumVARIANT>::adopt(
        new VariantEnum(std::make_shared<const EnumSource>(std::move(source)), 0));
}

ComPtr<IEnumVARIANT> create_variant_enum(std::vector<Variant> values) {
    auto shared = std::make_shared<const std::vector<Variant>>(std::move(values));
    return create_variant_enum(EnumSource{
        [shared] { return static_cast<uint32_t>(shared->size()); },
        [shared](uint32_t i, VARIANT* out) { return VariantCopy(out, &(*shared)[i]); },
        {},
    });
}

} // namespace plat
