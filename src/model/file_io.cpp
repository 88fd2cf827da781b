#include "model/file_io.h"

#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace svg {

ReadStatus ReadFileBytes(const std::string& path, std::size_t maxBytes, std::string& bytes)
{
    bytes.clear();
    struct stat info {};
    // A directory opens fine with fopen but cannot be read.
    if (stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return ReadStatus::OpenFailed;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return ReadStatus::OpenFailed;
    if (S_ISREG(info.st_mode) && static_cast<std::size_t>(info.st_size) > maxBytes)
        return ReadStatus::TooLarge;
    if (S_ISREG(info.st_mode))
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        if (bytes.size() + got > maxBytes)
            return ReadStatus::TooLarge;
        bytes.append(chunk, got);
    }
    return std::ferror(file.get()) ? ReadStatus::ReadFailed : ReadStatus::Ok;
}

}  // namespace svg
