// Reading the files a document refers to: other documents, raster images,
// CSS and XSLT style sheets, the documents XSLT document() reads, fonts and
// colour profiles. Every such read goes through ReadResourceFile.
//
// Confinement: a load may read files in its main document's folder and
// below, the folders CDocOptions::fileAccess names, or any local file when
// the options allow any. Paths are compared after symbolic links are
// resolved, so a link inside the folder cannot lead outside it. data: URLs
// need no file and are always allowed; the network is never used (callers
// never make a path of another scheme's URL).
//
// A read refused for its place is not attempted at all (nothing is opened)
// and the file is remembered in the load context, so that a user interface
// can offer to allow it. Reading itself is model/file_io.h's: regular files
// only, a size bound per kind, chunks that test the load's stop token.
//
// Threads: any thread that may use the load context (the loading thread, a
// user interface following a reference after the load).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "model/file_io.h"

namespace svg {

class CElem;
class CLoadContext;
class CMessageLog;

enum class ResourceKind { Document, Image, StyleSheet, Xslt, Font, ColorProfile };

// The largest file of `kind` that is read, in bytes (base/limits.h).
std::size_t MaxResourceBytes(ResourceKind kind);

// `directory` (absolute, or relative to the current directory) with its
// symbolic links resolved, ending in "/". A folder that does not exist keeps
// its lexically normal form.
std::string CanonicalFolder(const std::string& directory);

// Whether the load may read the file at `fullPath` (an absolute path).
bool MayReadFile(const CLoadContext& context, const std::string& fullPath);

// The one way to read a file a document names: NotAllowed (without opening
// it) when the load may not read it, else ReadFileBytes with the bound of
// `kind` and the load's stop token. Reports nothing; `bytes` holds the file
// only on Ok.
ReadStatus ReadResourceFile(CLoadContext& context, const std::string& fullPath, ResourceKind kind,
                            std::string& bytes);

// Reports, in the user's words, why a file was not read when only this layer
// knows it: NotAllowed (a warning), NotRegularFile and TooLarge (an error; a
// fatal error for documents, like their other file failures). `reference`
// is the reference as written in the document; the message is located at
// `elem` when it is given, at `line` and `column` when they are not 0.
// Returns false for the other statuses, which callers report in their own
// established words (or, for Stopped, not at all).
bool ReportUnreadResource(CMessageLog& log, ReadStatus status, ResourceKind kind, std::string_view reference,
                          const CElem* elem);
bool ReportUnreadResource(CMessageLog& log, ReadStatus status, ResourceKind kind, std::string_view reference,
                          int line, int column);

}  // namespace svg
