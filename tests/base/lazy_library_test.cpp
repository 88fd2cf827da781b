// Functions of a library opened on first use, called as the project calls
// them: through objects that look the function up once.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "base/lazy_library.h"

namespace {

svg::CLazyLibrary c{"libc.so.6"};
svg::CLazyLibrary missing{"libvexo-no-such-library.so.0"};

#pragma GCC diagnostic ignored "-Wignored-attributes"
const svg::CLazyFunction<decltype(::strlen)> strlen{c, "strlen"};
const svg::CLazyFunction<decltype(::snprintf)> snprintf{c, "snprintf"};
const svg::CLazyFunction<decltype(::strlen)> noSuchFunction{c, "vexo_no_such_function"};
const svg::CLazyFunction<decltype(::strlen)> inMissingLibrary{missing, "strlen"};

TEST(LazyLibrary, CallsPassArgumentsAndResults)
{
    EXPECT_EQ(strlen("three"), 5u);
    EXPECT_EQ(strlen("three"), 5u);  // the second call takes the address it kept
    // A variable argument list passes integers, doubles and pointers as given.
    char text[64];
    EXPECT_EQ(snprintf(text, sizeof text, "%d %.2f %s %lld", 7, 0.25, "x", 1LL << 40), 22);
    EXPECT_STREQ(text, "7 0.25 x 1099511627776");
}

TEST(LazyLibraryDeathTest, AMissingLibraryOrFunctionEndsWithTheLoadersMessage)
{
    EXPECT_EXIT(inMissingLibrary("x"), testing::ExitedWithCode(127), "libvexo-no-such-library.so.0");
    EXPECT_EXIT(noSuchFunction("x"), testing::ExitedWithCode(127), "vexo_no_such_function");
}

}  // namespace
