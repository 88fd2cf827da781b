// Replays every input that ever crashed or hung a fuzz entry point: files in
// tests/fuzz/reproducers/ through the whole load, files in its folders css/,
// path/ and xslt/ through the entry point of that name.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz_entry.h"
#include "test_support.h"

namespace {

int ReplayFolder(const std::filesystem::path& folder, vexo_fuzz::EntryPoint entry)
{
    int replayed = 0;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        if (!file.is_regular_file())
            continue;
        SCOPED_TRACE(file.path().string());
        const std::string bytes = vexo_test::ReadFile(file.path().string());
        entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++replayed;
    }
    return replayed;
}

}  // namespace

TEST(FuzzReproducers, EveryStoredInputRunsWithoutCrashing)
{
    const std::filesystem::path root = vexo_test::DataPath("fuzz/reproducers");
    EXPECT_GT(ReplayFolder(root, &vexo_fuzz::LoadFromBytes), 0);
    for (const auto& entry : std::filesystem::directory_iterator(root))
        if (entry.is_directory())
            ReplayFolder(entry.path(), vexo_fuzz::EntryForFolder(entry.path().filename().string()));
}
