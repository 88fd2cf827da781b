// Whole-file reads with a size bound.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace svg {

enum class ReadStatus { Ok, OpenFailed, TooLarge, ReadFailed };

// Reads the file at `path` into memory; refuses files larger than `maxBytes`.
ReadStatus ReadFileBytes(const std::string& path, std::size_t maxBytes, std::string& bytes);

}  // namespace svg
