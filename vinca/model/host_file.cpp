// Host files: streams over the container's file numbers, the per-thread
// registry of open ones, the stream-kind probe and the file property workers.
#include "vinca/model/host_file.h"

#include <algorithm>
#include <cstring>

#include "vinca/model/thread_registry.h"

namespace vinca {

using namespace plat;

namespace {
constexpr GUID kControlClassId = make_guid("9D998150-B884-11CE-8D47-444553540000");
constexpr GUID kOldControlClassId = make_guid("9D998140-B884-11CE-8D47-444553540000");
} // namespace

// ---- CHostFileStream -----------------------------------------------------

CHostFileStream::CHostFileStream(int16_t file, IUnknown* site) : m_file(file) {
    if (!site) {
        SetError(VE_FILE_INIT);
        return;
    }
    if (FAILED(site->QueryInterface(IID_IHostFiles, m_hostFiles.put_void())) || !m_hostFiles) {
        m_useHost = false;
        m_plain = std::make_unique<CVincaFileStream>(file);
        return;
    }
    if (FAILED(m_hostFiles->GetFileAccess(IID_IHostFileAccess, m_access.put_void(), 0)) || !m_access) {
        // No way to reach the file: every call answers the initialisation error.
        m_hostFiles.reset();
        SetError(VE_FILE_INIT);
    }
}

VResult CHostFileStream::Write(const void* buffer, uint16_t count) {
    if (Failed()) return Error();
    if (!m_useHost) return SetError(m_plain->Write(buffer, count));
    if (FAILED(m_access->Write(m_file, buffer, count))) return SetError(VE_FILE_OUTPUT);
    return VE_OK;
}

VResult CHostFileStream::Read(void* buffer, uint16_t count) {
    if (Failed()) return Error();
    if (!m_useHost) return SetError(m_plain->Read(buffer, count));
    if (FAILED(m_access->Read(m_file, buffer, count))) return SetError(VE_FILE_INPUT);
    return VE_OK;
}

VResult CHostFileStream::Seek(int32_t offset, int origin, uint32_t* pos) {
    if (Failed()) return Error();
    if (!m_useHost) return SetError(m_plain->Seek(offset, origin, pos));
    uint32_t now = 0;
    HRESULT hr = origin == FROM_START     ? m_access->SeekFromStart(m_file, offset, &now)
                 : origin == FROM_CURRENT ? m_access->SeekFromCurrent(m_file, offset, &now)
                                          : E_INVALIDARG;
    if (FAILED(hr)) return SetError(VE_FILE_IO);
    if (pos) *pos = now;
    return VE_OK;
}

std::optional<uint64_t> CHostFileStream::Remaining() {
    return m_plain ? m_plain->Remaining() : std::nullopt;
}

// ---- CHostFileRegistry ---------------------------------------------------

VResult CHostFileRegistry::Open(int16_t file, CTreeStream::Mode mode, IUnknown* site) {
    if (Find(file)) return VE_FILE_ALREADY_OPEN;
    Record rec{file, std::make_unique<CHostFileStream>(file, site), nullptr};
    rec.tree = std::make_unique<CTreeStream>(*rec.bytes, mode);
    // A data file carries its tree stream further in; its header is read
    // when the first load finds it.
    if (mode == CTreeStream::MODE_WRITE || DetectStreamKind(*rec.bytes) == StreamKind::TreeStream)
        rec.tree->Open();
    if (VResult r = rec.bytes->Error()) return r;
    m_records.push_back(std::move(rec));
    return VE_OK;
}

CTreeStream* CHostFileRegistry::Find(int16_t file) {
    for (Record& r : m_records)
        if (r.key == file) return r.tree.get();
    return nullptr;
}

VResult CHostFileRegistry::Close(int16_t file) {
    auto it =
        std::find_if(m_records.begin(), m_records.end(), [&](const Record& r) { return r.key == file; });
    if (it == m_records.end()) return VE_FILE_NOT_OPEN;
    it->tree->Close();
    VResult r = it->bytes->Error();
    m_records.erase(it);
    return r;
}

// ---- CHostFile -----------------------------------------------------------

void CHostFile::Open(int16_t file, CTreeStream::Mode mode, IUnknown* site) {
    Close();
    if (CThreadRecord* ctx = GetThreadFileContext()) {
        if (CTreeStream* open = ctx->files.Find(file)) {
            if (open->GetMode() == mode) {
                m_tree = open;
                return;
            }
            site = nullptr; // opened the other way: this holder's stream keeps 20204
        }
    }
    m_bytes = std::make_unique<CHostFileStream>(file, site);
    m_ownedTree = std::make_unique<CTreeStream>(*m_bytes, mode);
    m_tree = m_ownedTree.get();
    m_owns = true;
}

VResult CHostFile::Close() {
    VResult r = m_tree ? m_tree->Error() : VResult(VE_OK);
    if (m_owns && m_ownedTree) {
        m_ownedTree->Close();
        r = m_bytes->Error();
    }
    m_ownedTree.reset();
    m_bytes.reset();
    m_tree = nullptr;
    m_owns = false;
    return r;
}

// ---- stream kinds --------------------------------------------------------

StreamKind DetectStreamKind(CVincaStream& bytes) {
    StreamKind kind = StreamKind::Unknown;
    if (bytes.Failed()) return kind;
    uint32_t pos = bytes.Position();
    uint8_t head[16]{};
    bytes.Seek(0, FROM_START);
    if (bytes.Read(head, 16) != VE_OK) {
        bytes.ClearError();
        bytes.Seek(0, FROM_START);
        if (bytes.Read(head, 2) == VE_OK && head[0] == 'D' && head[1] == 'U') kind = StreamKind::TreeStream;
        bytes.ClearError();
    } else if (std::memcmp(head, &kControlClassId, 16) == 0) {
        kind = StreamKind::DataFile;
    } else if (head[0] == 'D' && head[1] == 'U') {
        kind = StreamKind::TreeStream;
    } else if (std::memcmp(head, &kOldControlClassId, 16) == 0) {
        kind = StreamKind::OldDataFile;
    }
    bytes.Seek(static_cast<int32_t>(pos), FROM_START);
    return kind;
}

bool SeekToTreeData(CVincaStream& bytes) {
    uint32_t pos = bytes.Position();
    uint8_t prev = 0, cur = 0;
    for (uint32_t i = 0; bytes.ReadU8(cur); ++i, prev = cur) {
        if (i > 0 && prev == 'D' && cur == 'U')
            return bytes.Seek(static_cast<int32_t>(pos + i - 1), FROM_START) == VE_OK;
    }
    return false; // the read error at the end stays kept
}

VResult ReadTreePayload(CTreeStream& ts, CTreeRef& out) {
    CVincaStream& bytes = ts.Bytes();
    switch (DetectStreamKind(bytes)) {
    case StreamKind::TreeStream:
        if (ts.Open()) ReadTreeRef(ts, out, TagForm::TwoByte);
        break;
    case StreamKind::DataFile:
    case StreamKind::OldDataFile:
        if (!ts.IsOpen() && !SeekToTreeData(bytes)) {
            bytes.ClearError();
            return bytes.SetError(VE_BAD_FILE_FORMAT);
        }
        if (ts.Open()) ReadTreeRef(ts, out, TagForm::OneByte);
        break;
    default:
        return bytes.SetError(VE_BAD_FILE_FORMAT);
    }
    return ts.Error();
}

// ---- workers -------------------------------------------------------------

VResult HostFileAction(int16_t file, int16_t action, IUnknown* site) {
    if (action < 0 || action > 2) return VE_INVALID_ARGUMENT;
    CThreadRecord* ctx = GetThreadFileContext();
    if (!ctx) return VE_NOT_LOADED;
    if (action == 2) return ctx->files.Close(file);
    return ctx->files.Open(file, action == 0 ? CTreeStream::MODE_READ : CTreeStream::MODE_WRITE, site);
}

VResult UseHostFile(int16_t file, CTreeStream::Mode mode, IUnknown* site,
                    const std::function<void(CTreeStream&)>& use) {
    CHostFile hf;
    hf.Open(file, mode, site);
    CTreeStream* ts = hf.Stream();
    if (!ts) return VE_NOT_LOADED;
    use(*ts);
    return hf.Close();
}

VResult SaveToHostFile(CVincaEngine& engine, int16_t file, int32_t position, SaveWhat what, IUnknown* site) {
    CItem* item = nullptr;
    if (position != -1) {
        item = engine.ItemFromIndex(position);
        if (!item) return VE_BAD_INDEX;
    }
    return UseHostFile(file, CTreeStream::MODE_WRITE, site, [&](CTreeStream& ts) {
        if (!ts.Open()) return;
        if (!item)
            WriteNodeAsTree(ts, engine.Root()->ChildNode(), *engine.Root(), what != SaveWhat::ItemAlone);
        else if (what == SaveWhat::Children)
            WriteNodeAsTree(ts, item->ChildNode(), *item);
        else
            WriteTreeRef(ts, CTreeRef{CTreeRef::kItem, item}, what == SaveWhat::Item);
    });
}

VResult MergeTreeRef(CVincaEngine& engine, const CTreeRef& ref, int32_t position, bool insert, bool take) {
    if (ref.kind == CTreeRef::kNone || !ref.item) return VE_OK;
    CNodeRef pos;
    if (VResult r = engine.ItemPosition(position, pos)) return r;
    int32_t before = -1;
    if (insert && pos.index >= 0) {
        before = pos.index;
        pos.index = -1; // the parent of the item at the position
    }
    take = take && ref.item->RefCount() == 1;
    VResult r = ref.kind == CTreeRef::kTree ? engine.AddTreeItems(pos, ref.item->ChildNode(), before, take)
                                            : engine.AddItemCopy(pos, ref.item.get(), before);
    return r == VE_NOTHING_TO_COPY ? VResult(VE_OK) : r;
}

VResult LoadFromHostFile(CVincaEngine& engine, int16_t file, int32_t position, bool insert, IUnknown* site) {
    CTreeRef loaded;
    VResult r = UseHostFile(file, CTreeStream::MODE_READ, site,
                            [&](CTreeStream& ts) { ReadTreePayload(ts, loaded); });
    // The tree was read for this merge alone: its items move in.
    return r ? r : MergeTreeRef(engine, loaded, position, insert, true);
}

} // namespace vinca
