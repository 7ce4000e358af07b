#include "client/engine/decompress.h"

#include "client/engine/errors.h"
#include "common/password.h"
#include "platform/archive/zip_archive.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace klc {

namespace {

int32_t ClientCode(plat::archive::ArchiveError e) {
    using plat::archive::ArchiveError;
    switch (e) {
    case ArchiveError::Ok:
        return ERR_SUCCESS;
    case ArchiveError::NotFound:
        return ERR_NOT_FOUND;
    case ArchiveError::Cancelled:
        return ERR_CANCELLED;
    case ArchiveError::WriteFailed:
        return ERR_WRITE;
    default:
        return ERR_NO_ZIP_LIBRARY;
    }
}

} // namespace

std::string CDecompressor::LastErrorText() const {
    return plat::archive::archive_error_text(static_cast<plat::archive::ArchiveError>(m_last_error));
}

int32_t CDecompressor::Decompress(const std::string& archive, const std::string& folder) {
    return Decompress(plat::archive::find_pieces(archive), folder);
}

int32_t CDecompressor::Decompress(const std::vector<std::string>& pieces, const std::string& folder) {
    if (pieces.empty() || !plat::is_file(pieces.front())) {
        m_last_error = static_cast<int32_t>(plat::archive::ArchiveError::NotFound);
        return ERR_NOT_FOUND;
    }
    // A protected archive opens with the password the designer derived from
    // its base name ("_0001" of "_0001.ZIP"); unprotected entries ignore it.
    plat::archive::UnpackOptions options;
    options.password = kl::EncodePassword(plat::file_stem(pieces.front()));
    options.progress = m_progress;
    options.entry = m_entry;
    options.max_size = m_max_size;
    const plat::archive::ArchiveError e = plat::archive::unpack_pieces(pieces, folder, options);
    m_last_error = static_cast<int32_t>(e);
    return ClientCode(e);
}

} // namespace klc
