// Bridges between byte streams and component streams.
#include "vinca/model/stream_ole.h"

namespace vinca {

using namespace plat;

VResult CVincaOleStream::Write(const void* buffer, uint16_t count) {
    if (Failed()) return Error();
    uint32_t written = 0;
    if (!m_stream || FAILED(m_stream->Write(buffer, count, &written)) || written != count)
        return SetError(VE_FILE_OUTPUT);
    return VE_OK;
}

VResult CVincaOleStream::Read(void* buffer, uint16_t count) {
    if (Failed()) return Error();
    uint32_t read = 0;
    if (!m_stream || FAILED(m_stream->Read(buffer, count, &read)) || read != count)
        return SetError(VE_FILE_INPUT);
    return VE_OK;
}

VResult CVincaOleStream::Seek(int32_t offset, int origin, uint32_t* pos) {
    if (Failed()) return Error();
    uint64_t now = 0;
    uint32_t how = origin == FROM_START ? STREAM_SEEK_SET : STREAM_SEEK_CUR;
    if (!m_stream || (origin != FROM_START && origin != FROM_CURRENT) ||
        FAILED(m_stream->Seek(static_cast<int64_t>(offset), how, &now)) || now > 0xFFFFFFFFull)
        return SetError(VE_FILE_IO);
    if (pos) *pos = static_cast<uint32_t>(now);
    return VE_OK;
}

std::optional<uint64_t> CVincaOleStream::Remaining() {
    STATSTG st{};
    uint64_t now = 0;
    if (!m_stream || FAILED(m_stream->Stat(&st, STATFLAG_NONAME)) ||
        FAILED(m_stream->Seek(0, STREAM_SEEK_CUR, &now)))
        return std::nullopt;
    return st.cbSize > now ? st.cbSize - now : 0;
}

HRESULT CVincaIStream::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IStream::kIID || iid == ISequentialStream::kIID) {
        *out = static_cast<IStream*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT CVincaIStream::Read(void* buffer, uint32_t count, uint32_t* read) {
    if (read) *read = 0;
    if (m_bytes.ReadBlock(buffer, count) != VE_OK) return E_UNEXPECTED;
    if (read) *read = count;
    return S_OK;
}

HRESULT CVincaIStream::Write(const void* buffer, uint32_t count, uint32_t* written) {
    if (written) *written = 0;
    if (m_bytes.WriteBlock(buffer, count) != VE_OK) return E_UNEXPECTED;
    if (written) *written = count;
    return S_OK;
}

HRESULT CVincaIStream::Seek(int64_t move, uint32_t origin, uint64_t* new_position) {
    if (move < INT32_MIN || move > INT32_MAX) {
        // Only offsets whose high half is all zeros or all ones pass on.
        uint32_t high = static_cast<uint32_t>(static_cast<uint64_t>(move) >> 32);
        if (high != 0 && high != 0xFFFFFFFFu) return E_NOTIMPL;
    }
    if (origin != STREAM_SEEK_SET && origin != STREAM_SEEK_CUR) return STG_E_INVALIDFUNCTION;
    uint32_t pos = 0;
    if (m_bytes.Seek(static_cast<int32_t>(static_cast<uint32_t>(move)), static_cast<int>(origin), &pos) !=
        VE_OK)
        return E_UNEXPECTED;
    if (new_position) *new_position = pos;
    return S_OK;
}

} // namespace vinca
