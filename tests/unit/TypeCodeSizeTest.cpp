// The type table: the value size each letter gives, which other programs rely on.

#include <gtest/gtest.h>

#include "store/VariableRecord.h"

namespace tolsa {
namespace {

TEST(TypeCodeSize, FollowsTheTable) {
    const struct {
        char letter;
        int32_t size;
    } cases[] = {{'$', 63}, {'B', 1}, {'H', 1}, {'O', 1}, {'M', 2}, {'W', 2}, {'L', 4}, {'D', 8},
                 {'l', 0},  {'d', 0}, {' ', 0}, {'\n', 0}, {'\0', 0}, {'#', 0}, {'\x80', 0}};
    for (const auto& c : cases) EXPECT_EQ(TypeCodeSize(c.letter), c.size) << "letter " << int(c.letter);
}

}  // namespace
}  // namespace tolsa
