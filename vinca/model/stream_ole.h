#pragma once
// Bridges between the control's byte streams and component streams:
// CVincaOleStream reads and writes a component IStream as a byte stream (the
// persisted tree object is saved this way); CVincaIStream lets component
// code read and write a byte stream as an IStream.
#include <cstdint>

#include "platform/com/stream.h"
#include "vinca/model/stream.h"

namespace vinca {

// A byte stream over an IStream the caller keeps alive. Failures become the
// byte stream's file errors: 20203 write, 20202 read (a short read too),
// 20201 seek.
class CVincaOleStream : public CVincaStream {
  public:
    explicit CVincaOleStream(plat::IStream* stream) : m_stream(stream) {}

    VResult Write(const void* buffer, uint16_t count) override;
    VResult Read(void* buffer, uint16_t count) override;
    // Negative offsets step backwards (they are sign-extended).
    VResult Seek(int32_t offset, int origin, uint32_t* pos = nullptr) override;
    std::optional<uint64_t> Remaining() override;

  private:
    plat::IStream* m_stream;
};

// An IStream over a byte stream. Its owner controls its life: AddRef answers
// 1 and Release 0. Any error of the byte stream answers E_UNEXPECTED.
class CVincaIStream final : public plat::IStream {
  public:
    explicit CVincaIStream(CVincaStream& bytes) : m_bytes(bytes) {}

    plat::HRESULT QueryInterface(plat::REFIID iid, void** out) override;
    plat::ULONG AddRef() override { return 1; }
    plat::ULONG Release() override { return 0; }
    // `read` / `written` receive the count moved (0 after an error).
    plat::HRESULT Read(void* buffer, uint32_t count, uint32_t* read) override;
    plat::HRESULT Write(const void* buffer, uint32_t count, uint32_t* written) override;
    // Offsets must fit 32 bits signed (high part all zeros or all ones);
    // otherwise E_NOTIMPL. Seeking from the end is not offered.
    plat::HRESULT Seek(int64_t move, uint32_t origin, uint64_t* new_position) override;
    plat::HRESULT SetSize(uint64_t) override { return plat::E_NOTIMPL; }
    plat::HRESULT CopyTo(plat::IStream*, uint64_t, uint64_t*, uint64_t*) override { return plat::E_NOTIMPL; }
    plat::HRESULT Commit(uint32_t) override { return plat::E_NOTIMPL; }
    plat::HRESULT Revert() override { return plat::E_NOTIMPL; }
    plat::HRESULT LockRegion(uint64_t, uint64_t, uint32_t) override { return plat::E_NOTIMPL; }
    plat::HRESULT UnlockRegion(uint64_t, uint64_t, uint32_t) override { return plat::E_NOTIMPL; }
    plat::HRESULT Stat(plat::STATSTG*, uint32_t) override { return plat::E_NOTIMPL; }
    plat::HRESULT Clone(plat::IStream** out) override {
        if (out) *out = nullptr;
        return plat::E_NOTIMPL;
    }

  private:
    CVincaStream& m_bytes;
};

} // namespace vinca
