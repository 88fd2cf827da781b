#include "model/file_io.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/limits.h"
#include "base/stop_token.h"

namespace svg {
namespace {

// Closes the descriptor when the read ends, whichever way.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

// read() that retries when a signal interrupts it.
ssize_t ReadSome(int fd, char* buffer, std::size_t size)
{
    ssize_t got;
    do {
        got = ::read(fd, buffer, size);
    } while (got < 0 && errno == EINTR);
    return got;
}

ReadStatus ReadOpenFile(int fd, std::size_t maxBytes, const CStopToken& stop, std::string& bytes)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return ReadStatus::OpenFailed;
    if (!S_ISREG(info.st_mode))
        return ReadStatus::NotRegularFile;
    if (info.st_size < 0 || static_cast<std::size_t>(info.st_size) > maxBytes)
        return ReadStatus::TooLarge;
    // Regular files never block; reads may wait for the disk, nothing else.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    // One byte more than the file's size lets the last read see its end
    // without growing (and copying) the buffer.
    bytes.reserve(static_cast<std::size_t>(info.st_size) + 1);
    for (;;) {
        if (stop.StopRequested())
            return ReadStatus::Stopped;
        // One byte more than the bound may hold tells a file that grew.
        const std::size_t room = maxBytes + 1 - bytes.size();
        const std::size_t spare = bytes.capacity() - bytes.size();
        const std::size_t chunk = spare > 0 ? std::min(spare, limits::kReadChunkBytes) : limits::kReadChunkBytes;
        const std::size_t want = std::min(room, chunk);
        const std::size_t old = bytes.size();
        bytes.resize(old + want);
        const ssize_t got = ReadSome(fd, bytes.data() + old, want);
        if (got < 0)
            return ReadStatus::ReadFailed;
        bytes.resize(old + static_cast<std::size_t>(got));
        if (bytes.size() > maxBytes)
            return ReadStatus::TooLarge;
        if (got == 0)
            return ReadStatus::Ok;
    }
}

}  // namespace

ReadStatus ReadFileBytes(const std::string& path, std::size_t maxBytes, const CStopToken& stop, std::string& bytes)
{
    bytes.clear();
    if (stop.StopRequested())
        return ReadStatus::Stopped;
    // Devices are refused before they are opened: opening some has effects
    // of its own (a tape rewinds, a terminal may become ours).
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return ReadStatus::OpenFailed;
    if (!S_ISREG(info.st_mode))
        return ReadStatus::NotRegularFile;
    // The path may name something else by the time it is opened: O_NONBLOCK
    // keeps the open of a FIFO from waiting for a writer, and the kind of
    // what was opened is checked again before reading.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Get() < 0)
        return errno == EISDIR ? ReadStatus::NotRegularFile : ReadStatus::OpenFailed;
    const ReadStatus status = ReadOpenFile(fd.Get(), maxBytes, stop, bytes);
    if (status != ReadStatus::Ok) {
        bytes.clear();
        bytes.shrink_to_fit();
    }
    return status;
}

ReadStatus ReadFileBytes(const std::string& path, std::size_t maxBytes, std::string& bytes)
{
    return ReadFileBytes(path, maxBytes, CStopToken::Never(), bytes);
}

}  // namespace svg
