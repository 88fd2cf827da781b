// Reading whole files into memory, safely for any path a document may name.
//
// Only regular files are read: the file is opened without blocking (a FIFO
// would otherwise block the open until a writer appears) and its kind is
// checked on the open descriptor before a byte is read, so FIFOs, devices
// (/dev/zero, /dev/urandom), sockets and folders are refused at once. A file
// larger than the caller's bound is refused before reading; reading goes in
// chunks that test the stop token, and stops as soon as the file turns out
// larger than the bound (it may grow while it is read). No message is
// reported here. Any thread; nothing is shared between calls.
#pragma once

#include <cstddef>
#include <string>

namespace svg {

class CStopToken;

enum class ReadStatus {
    Ok,
    OpenFailed,      // no such file, or it may not be opened
    NotRegularFile,  // a FIFO, device, socket or folder
    TooLarge,        // larger than the bound
    ReadFailed,      // an I/O error while reading
    Stopped,         // the stop token was set while reading
    NotAllowed,      // outside the folders the load may read (resource_file.h)
};

// Reads the file at `path` into `bytes` (emptied on every failure).
ReadStatus ReadFileBytes(const std::string& path, std::size_t maxBytes, const CStopToken& stop, std::string& bytes);

// The same for reads that cannot be stopped.
ReadStatus ReadFileBytes(const std::string& path, std::size_t maxBytes, std::string& bytes);

}  // namespace svg
