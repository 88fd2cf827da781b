// libFuzzer target for the CSS parser and cascade; scripts/fuzz.sh builds and runs it.
// Copy every crash it finds into tests/fuzz/reproducers/css/ so the test
// suite replays it from then on.
#include "fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vexo_fuzz::ParseCssFromBytes(data, size);
    return 0;
}
