// The one entry point fuzzers and the crash-reproducer test share: loads a
// document from arbitrary bytes through the whole pipeline, then frees it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexo_fuzz {

void LoadFromBytes(const std::uint8_t* data, std::size_t size);

}  // namespace vexo_fuzz
