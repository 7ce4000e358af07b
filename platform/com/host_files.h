#pragma once
// Host files: a container whose runtime opens binary files by number hands
// a sited control access to them through its client site, so the control
// can read and write its stored form in a file the container opened.
#include <cstdint>

#include "platform/com/unknown.h"

namespace plat {

inline constexpr IID IID_IHostFiles = make_guid("91733A60-3F4C-101B-A3F6-00AA0034E4E9");
inline constexpr IID IID_IHostFileAccess = make_guid("B53BA860-3768-101B-8D72-00DD010EDFAA");

// The container's file access by file number. Each call fails (a negative
// result) when it cannot move every byte asked for.
struct IHostFileAccess : IUnknown {
    virtual HRESULT Read(int16_t file, void* buffer, uint16_t count) = 0;
    virtual HRESULT Write(int16_t file, const void* buffer, uint16_t count) = 0;
    virtual HRESULT SeekFromStart(int16_t file, int32_t offset, uint32_t* position) = 0;
    virtual HRESULT SeekFromCurrent(int16_t file, int32_t offset, uint32_t* position) = 0;
};

// What the client site answers for IID_IHostFiles.
struct IHostFiles : IUnknown {
    // Hands out IID_IHostFileAccess; `reserved` is 0.
    virtual HRESULT GetFileAccess(REFIID iid, void** out, uint32_t reserved) = 0;
};

} // namespace plat
