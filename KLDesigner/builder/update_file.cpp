// Update files: a source file becomes a plain numbered copy or a zip archive
// (compressed, protected, split into pieces) in the output folder.
#include <cmath>

#include "KLDesigner/builder/designer.h"
#include "KLDesigner/builder/file_version.h"
#include "KLDesigner/builder/utilities.h"
#include "KLDesigner/builder/vb.h"
#include "common/password.h"
#include "platform/archive/zip_archive.h"
#include "platform/sys/files.h"
#include "platform/sys/paths.h"

namespace kld {

namespace {

// Piece numbers run from 2 to 32000 at most: one more would be a name the
// client cannot tell from a damaged list.
constexpr uint64_t kMaxPieces = 32000;

// The runtime's error number and text for a failed file operation, as the
// copy error message reports them.
struct CopyError {
    int number;
    const char* text;
};

CopyError CopyErrorOf(plat::SysError e) {
    switch (e) {
    case plat::SysError::FileNotFound:
        return {53, "File not found"};
    case plat::SysError::PathNotFound:
        return {76, "Path not found"};
    case plat::SysError::AccessDenied:
        return {70, "Permission denied"};
    case plat::SysError::SharingViolation:
        return {70, "Permission denied"};
    case plat::SysError::DiskFull:
        return {61, "Disk full"};
    default:
        return {75, "Path/File access error"};
    }
}

std::string Number(int16_t counter) {
    return PadLeft(std::to_string(counter), 4, "0");
}

} // namespace

std::string Designer::OutputPath() const {
    return NativePath(vb::Trim(Product.OutputFolder));
}

int32_t ProgressPercent(double done, double total) {
    // Nothing to pack counts as nothing done, never a division by zero.
    if (!(total > 0)) return 0;
    double pct = vb::Int(done * 100.0 / total) - 1;
    if (pct < 0) pct = 0;
    if (pct > 100) pct = 100;
    return static_cast<int32_t>(pct);
}

bool Designer::MakeUpdateFile(int32_t index, const std::string& sourcePath, std::string& errorText) {
    errorText.clear();
    if (!IsRecordIndex(index) || sourcePath.empty()) return true;
    ActionRecord& r = Actions[static_cast<size_t>(index)];
    r.ProducedFiles.assign(1, ProducedFileEntry{});

    const std::string source = NativePath(sourcePath);
    const auto length = plat::file_length(source);
    const bool chunked = Product.ChunkSize / 1024 >= 1 && r.FileSize >= Product.ChunkSize;
    // An empty file is packed too: the client takes an empty download as one
    // that never arrived.
    const bool plain = !r.Compress && !r.Encrypt && !chunked && !(length && *length == 0);
    if (!plain) return ZipUpdateFile(index, sourcePath, "_" + Number(UpdateFileCounter), errorText);

    const std::string name = "_" + Number(UpdateFileCounter) + ".KL_";
    r.ProducedFiles[0].SourcePath = name;
    const std::string target = plat::join_path(OutputPath(), name);
    plat::SysError e = plat::copy_file(source, target, true);
    if (e != plat::SysError::Success) {
        const CopyError ce = CopyErrorOf(e);
        errorText = "Copy file error # " + std::to_string(ce.number) + ": " + ce.text +
                    ". Please, fix the problem and try again.";
        return false;
    }
    const uint64_t copied = plat::file_length(target).value_or(0);
    r.ProducedFiles[0].FileSize = static_cast<int32_t>(std::min<uint64_t>(copied, INT32_MAX));
    ZipProgress.done += static_cast<double>(copied);
    m_host.ProgressStatus(ProgressPercent(ZipProgress.done, ZipProgress.total));
    m_host.ProcessEvents();
    if (CancelRequested) {
        errorText = "Canceled by user";
        return false;
    }
    return true;
}

bool Designer::ZipUpdateFile(int32_t index, const std::string& sourcePath, const std::string& baseName,
                             std::string& errorText) {
    errorText.clear();
    if (!IsRecordIndex(index)) return true;
    ActionRecord& r = Actions[static_cast<size_t>(index)];
    if (r.ProducedFiles.empty()) r.ProducedFiles.assign(1, ProducedFileEntry{});

    const std::string source = NativePath(sourcePath);
    const std::string archive = plat::join_path(OutputPath(), baseName + ".ZIP");
    const double before = ZipProgress.done;

    plat::archive::PackOptions options;
    options.level = r.Compress ? 9 : 0;
    // Pieces are written as the archive is made, never cut from it later.
    if (Product.ChunkSize >= 1) {
        options.piece_size = static_cast<uint64_t>(Product.ChunkSize);
        options.max_pieces = kMaxPieces;
    }
    if (r.Encrypt) options.password = kl::EncodePassword(baseName);
    options.progress = [&](uint64_t done, uint64_t) {
        if (!m_host.ZipFileStatus(static_cast<double>(done), false))
            m_host.ProgressStatus(ProgressPercent(before + static_cast<double>(done), ZipProgress.total));
        m_host.ProcessEvents();
        return !CancelRequested;
    };
    auto fail = [&](plat::archive::ArchiveError e) {
        r.ProducedFiles[0].SourcePath.clear();
        plat::delete_file(archive);
        if (e == plat::archive::ArchiveError::Cancelled) {
            errorText = "Canceled by user";
        } else {
            errorText = "Zip file error # " + std::to_string(static_cast<int32_t>(e)) + ": " +
                        plat::archive::archive_error_text(e);
        }
        return false;
    };

    std::vector<std::string> pieces;
    const plat::archive::ArchiveError e = plat::archive::pack_file(source, archive, options, &pieces);
    if (e == plat::archive::ArchiveError::TooLarge && options.max_pieces > 0) {
        r.ProducedFiles.assign(1, ProducedFileEntry{});
        plat::delete_file(archive);
        errorText = "Zip file error : too many chunks. To fix the problem specify another chunk size ";
        return false;
    }
    if (e != plat::archive::ArchiveError::Ok) return fail(e);
    const double packed = static_cast<double>(plat::file_length(source).value_or(0));
    if (!m_host.ZipFileStatus(packed, true)) ZipProgress.done = before + packed;

    r.ProducedFiles.assign(pieces.size(), ProducedFileEntry{});
    for (size_t i = 0; i < pieces.size(); ++i) {
        r.ProducedFiles[i].SourcePath = plat::file_name(pieces[i]);
        r.ProducedFiles[i].FileSize =
            static_cast<int32_t>(std::min<uint64_t>(plat::file_length(pieces[i]).value_or(0), INT32_MAX));
    }
    // An archive is an update file like any other: a cancel pressed while it
    // was made stops here.
    m_host.ProgressStatus(ProgressPercent(ZipProgress.done, ZipProgress.total));
    m_host.ProcessEvents();
    if (CancelRequested) {
        errorText = "Canceled by user";
        return false;
    }
    return true;
}

} // namespace kld
