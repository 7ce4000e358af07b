#pragma once
// Host files: a container whose runtime opens binary files by number lets
// the control write a tree stream into such a file or read one from it. The
// container's client site hands out the file-access interface; without one
// the number is taken as a file handle of the platform.
//
// Loading reads into a detached tree and merges it only when the whole
// payload was read, so a damaged file leaves the tree as it was.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/com/host_files.h"
#include "platform/com/unknown.h"
#include "vinca/model/engine.h"
#include "vinca/model/stream.h"
#include "vinca/model/tree_stream.h"
#include "vinca/model/tree_stream_records.h"

namespace vinca {

// The container's side of the protocol lives in the platform layer.
using plat::IHostFileAccess;
using plat::IHostFiles;
using plat::IID_IHostFileAccess;
using plat::IID_IHostFiles;

// A byte stream over a host file number (never closed here).
class CHostFileStream : public CVincaStream {
  public:
    // With no site the stream keeps 20204 and does nothing. A site without
    // the host-file interface leaves the plain file form over the number.
    CHostFileStream(int16_t file, plat::IUnknown* site);

    bool UsesHost() const { return m_useHost; }

    VResult Write(const void* buffer, uint16_t count) override;
    VResult Read(void* buffer, uint16_t count) override;
    VResult Seek(int32_t offset, int origin, uint32_t* pos = nullptr) override;
    std::optional<uint64_t> Remaining() override;

  private:
    int16_t m_file;
    bool m_useHost{true};
    plat::ComPtr<IHostFiles> m_hostFiles;
    plat::ComPtr<IHostFileAccess> m_access;
    std::unique_ptr<CVincaFileStream> m_plain;
};

// Files opened with the control's File property: one open tree stream per
// file number and thread, so that several saves or loads follow each other
// in one stream with one header.
class CHostFileRegistry {
  public:
    // 20401 when this thread has the number open already; a stream error is
    // returned and nothing kept.
    VResult Open(int16_t file, CTreeStream::Mode mode, plat::IUnknown* site);
    CTreeStream* Find(int16_t file);
    // 20402 when the number is not open; the tree stream is closed (a writer
    // back-patches its header).
    VResult Close(int16_t file);
    size_t Count() const { return m_records.size(); }

  private:
    struct Record {
        int16_t key;
        std::unique_ptr<CHostFileStream> bytes;
        std::unique_ptr<CTreeStream> tree;
    };
    std::vector<Record> m_records;
};

// A holder for one save or load: the thread's open stream for the number, or
// streams made (and closed) here.
class CHostFile {
  public:
    CHostFile() = default;
    CHostFile(const CHostFile&) = delete;
    CHostFile& operator=(const CHostFile&) = delete;
    ~CHostFile() { Close(); }

    void Open(int16_t file, CTreeStream::Mode mode, plat::IUnknown* site);
    // The stream's kept error after closing (a writer back-patches first).
    VResult Close();
    // Null when nothing could be opened.
    CTreeStream* Stream() const { return m_tree; }
    bool Owns() const { return m_owns; }

  private:
    bool m_owns{false};
    std::unique_ptr<CHostFileStream> m_bytes;
    std::unique_ptr<CTreeStream> m_ownedTree;
    CTreeStream* m_tree{nullptr};
};

// What the start of a stream holds.
enum class StreamKind { TreeStream = 0, DataFile = 1, Unknown = 2, OldDataFile = 3 };
// Looks at the first 16 bytes (from offset 0, whatever the position) and
// restores the position.
StreamKind DetectStreamKind(CVincaStream& bytes);
// Positions a data file's stream on its embedded tree stream (the first
// "DU" at an even distance from the position); false when there is none.
bool SeekToTreeData(CVincaStream& bytes);

// Reads the payload of a stream that may be a plain tree stream or a data
// file with one inside (whose tree stream is found when the stream is not
// yet open). 20301 for data of any other kind.
VResult ReadTreePayload(CTreeStream& ts, CTreeRef& out);

// ---- workers of the control's file properties --------------------------

// One use of a host file: opens it (or takes the thread's open stream),
// lets `use` write or read the opened tree stream and closes it; the
// stream's error, 20118 when there is no stream.
VResult UseHostFile(int16_t file, CTreeStream::Mode mode, plat::IUnknown* site,
                    const std::function<void(CTreeStream&)>& use);

// File property: 0 opens for reading, 1 for writing, 2 closes; 380 above 2,
// 20118 when the thread has no control registered.
VResult HostFileAction(int16_t file, int16_t action, plat::IUnknown* site);
// Save (item with descendants, or the whole tree for position -1), SaveOne
// (the item alone) and SaveSub (the item's children as a whole tree).
enum class SaveWhat { Item, ItemAlone, Children };
VResult SaveToHostFile(CVincaEngine& engine, int16_t file, int32_t position, SaveWhat what,
                       plat::IUnknown* site);
// LoadAndAdd (the loaded tree or item added as the last children of the item
// at the position; -1 the top level) and LoadAndInsert (inserted before it).
VResult LoadFromHostFile(CVincaEngine& engine, int16_t file, int32_t position, bool insert,
                         plat::IUnknown* site);
// Merges a loaded reference into the tree. With `take` a whole tree that
// nothing else holds gives up its items rather than have them copied.
VResult MergeTreeRef(CVincaEngine& engine, const CTreeRef& ref, int32_t position, bool insert,
                     bool take = false);

} // namespace vinca
