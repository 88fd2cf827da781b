// libFuzzer target for a whole load, drawn into a small raster;
// scripts/fuzz.sh builds and runs it. Copy every crash it finds into
// tests/fuzz/reproducers/ so the test suite replays it from then on.
#include "fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vexo_fuzz::LoadFromBytes(data, size);
    return 0;
}
