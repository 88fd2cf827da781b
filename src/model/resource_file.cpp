#include "model/resource_file.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "base/limits.h"
#include "model/load_context.h"
#include "model/message_log.h"
#include "model/messages.h"

namespace svg {
namespace {

namespace fs = std::filesystem;

// `path` with its symbolic links resolved; empty when it does not exist.
std::string RealPath(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

std::string Absolute(const std::string& path)
{
    std::error_code ignored;
    const fs::path absolute = fs::absolute(fs::path(path), ignored);
    return (absolute.empty() ? fs::path(path) : absolute).lexically_normal().string();
}

// Where `fullPath` really is: its links resolved, or, for a file that does
// not exist (yet), its folder's links resolved.
std::string ResolvedFilePath(const std::string& fullPath)
{
    if (std::string real = RealPath(fullPath); !real.empty())
        return real;
    const std::string absolute = Absolute(fullPath);
    const std::size_t slash = absolute.rfind('/');
    if (slash == std::string::npos)
        return absolute;
    const std::string folder = RealPath(absolute.substr(0, slash + 1));
    return folder.empty() ? absolute : folder + absolute.substr(slash);
}

bool IsInside(const std::string& path, const std::string& folder)
{
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0;
}

std::size_t Megabytes(std::size_t bytes) { return bytes >> 20; }

// The message for `status`; null when this layer has none.
const char* UnreadMessage(ReadStatus status, ResourceKind kind)
{
    const bool document = kind == ResourceKind::Document;
    switch (status) {
    case ReadStatus::NotAllowed: return msg::kFileOutsideFolder;
    case ReadStatus::NotRegularFile: return document ? msg::kDocumentNotRegular : msg::kFileNotRegular;
    case ReadStatus::TooLarge: return document ? msg::kDocumentFileTooLarge : msg::kFileTooLarge;
    default: return nullptr;
    }
}

}  // namespace

std::size_t MaxResourceBytes(ResourceKind kind)
{
    switch (kind) {
    case ResourceKind::Document: return limits::kMaxDocumentFileBytes;
    case ResourceKind::Image: return limits::kMaxImageFileBytes;
    case ResourceKind::StyleSheet: return limits::kMaxStyleSheetFileBytes;
    case ResourceKind::Xslt: return limits::kMaxXsltFileBytes;
    case ResourceKind::Font: return limits::kMaxFontFileBytes;
    case ResourceKind::ColorProfile: return limits::kMaxColorProfileFileBytes;
    }
    return 0;
}

std::string CanonicalFolder(const std::string& directory)
{
    std::string folder = RealPath(directory);
    if (folder.empty())
        folder = Absolute(directory);
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

bool MayReadFile(const CLoadContext& context, const std::string& fullPath)
{
    if (context.Options().fileAccess.allowAnyFile)
        return true;
    const std::string path = ResolvedFilePath(fullPath);
    for (const std::string& folder : context.ReadableFolders())
        if (IsInside(path, folder))
            return true;
    return false;
}

ReadStatus ReadResourceFile(CLoadContext& context, const std::string& fullPath, ResourceKind kind,
                            std::string& bytes)
{
    bytes.clear();
    if (!MayReadFile(context, fullPath)) {
        context.NoteRefusedFile(fullPath);
        return ReadStatus::NotAllowed;
    }
    return ReadFileBytes(fullPath, MaxResourceBytes(kind), context.Stop(), bytes);
}

bool ReportUnreadResource(CMessageLog& log, ReadStatus status, ResourceKind kind, std::string_view reference,
                          const CElem* elem)
{
    if (elem == nullptr)
        return ReportUnreadResource(log, status, kind, reference, 0, 0);
    const char* format = UnreadMessage(status, kind);
    if (format == nullptr)
        return false;
    const std::string shown(reference);
    if (status == ReadStatus::TooLarge)
        log.Report(*elem, format, shown.c_str(), Megabytes(MaxResourceBytes(kind)));
    else
        log.Report(*elem, format, shown.c_str());
    return true;
}

bool ReportUnreadResource(CMessageLog& log, ReadStatus status, ResourceKind kind, std::string_view reference,
                          int line, int column)
{
    const char* format = UnreadMessage(status, kind);
    if (format == nullptr)
        return false;
    const std::string shown(reference);
    const bool located = line != 0 || column != 0;
    if (status == ReadStatus::TooLarge) {
        if (located)
            log.ReportAt(line, column, format, shown.c_str(), Megabytes(MaxResourceBytes(kind)));
        else
            log.Report(format, shown.c_str(), Megabytes(MaxResourceBytes(kind)));
    } else if (located) {
        log.ReportAt(line, column, format, shown.c_str());
    } else {
        log.Report(format, shown.c_str());
    }
    return true;
}

}  // namespace svg
