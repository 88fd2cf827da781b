// libFuzzer target for path data and points lists; scripts/fuzz.sh builds and runs it.
// Copy every crash it finds into tests/fuzz/reproducers/path/ so the test
// suite replays it from then on.
#include "fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vexo_fuzz::ParsePathFromBytes(data, size);
    return 0;
}
