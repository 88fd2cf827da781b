// Replays every input that ever crashed or hung the loader.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz_entry.h"
#include "test_support.h"

TEST(FuzzReproducers, EveryStoredInputLoadsWithoutCrashing)
{
    namespace fs = std::filesystem;
    int replayed = 0;
    for (const auto& entry : fs::directory_iterator(vexo_test::DataPath("fuzz/reproducers"))) {
        if (!entry.is_regular_file())
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string bytes = vexo_test::ReadFile(entry.path().string());
        vexo_fuzz::LoadFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}
