#include <gtest/gtest.h>

#include <cstring>

#include "common/bounded_copy.h"

namespace {

struct CopyCase {
    const char* source;
    int bound;  // characters before `end`
    const char* expected;
};

TEST(CopyBoundedTest, CopiesUntilSourceEndsOrBoundIsReached)
{
    const CopyCase cases[] = {
        {"", 5, ""},
        {"abc", 5, "abc"},
        {"abcde", 5, "abcde"},
        {"abcdef", 5, "abcde"},
        {"abc", 0, ""},
    };
    for (const CopyCase& c : cases) {
        char buffer[16];
        std::memset(buffer, 'X', sizeof buffer);
        char* zero = CopyBounded(buffer, c.source, buffer + c.bound);
        EXPECT_STREQ(c.expected, buffer) << c.source << " bound " << c.bound;
        EXPECT_EQ(buffer + std::strlen(c.expected), zero);
        EXPECT_EQ('X', buffer[c.bound + 1]) << "wrote past the bound's zero";
    }
}

TEST(AppendBoundedTest, StartsAtTheTerminatingZeroAndKeepsTheSameBound)
{
    char buffer[8] = "ab";
    AppendBounded(buffer, "cdefghij", buffer + 7);
    EXPECT_STREQ("abcdefg", buffer);

    char full[4] = "abc";
    AppendBounded(full, "d", full + 3);
    EXPECT_STREQ("abc", full);
}

}  // namespace
