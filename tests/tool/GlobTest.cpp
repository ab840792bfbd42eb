// The wildcard matcher behind `tolsa list PATTERN` and `tolsa watch PATTERN`.

#include <gtest/gtest.h>

#include "Glob.h"

namespace {

TEST(Glob, MatchesLikeTheShell) {
    const struct {
        const char* pattern;
        const char* text;
        bool match;
    } cases[] = {
        {"*", "", true},
        {"*", "IORSH_Speed", true},
        {"IORSH_*", "IORSH_Speed", true},
        {"IORSH_*", "MEMSH_Speed", false},
        {"*_Speed", "IORSH_Speed", true},
        {"*Sp*ed", "IORSH_Speed_Speeds", false},  // backtracking must not stop at the first "Sp"
        {"*Sp*ed*", "IORSH_Speed_Speeds", true},
        {"IORSH_?peed", "IORSH_Speed", true},
        {"IORSH_?peed", "IORSH_peed", false},
        {"iorsh_*", "IORSH_Speed", false},       // case matters, as in the name lookup
        {"IORSH_Speed", "IORSH_Speed ", false},  // a whole-name match, not a prefix
        {"*[0-9]", "MEMSH_Mode2", true},
        {"*[0-9]", "MEMSH_Mode", false},
        {"*[!0-9]", "MEMSH_Mode", true},
        {"*[^0-9]", "MEMSH_Mode2", false},
        {"[]]x", "]x", true},                    // ']' first in a set is a member
        {"[a-]", "-", true},
        {"a[", "a[", true},                      // an unclosed '[' stands for itself
        {"\\*", "*", true},
        {"\\*", "a", false},
        {"[\\]]", "]", true},
        {"**x", "abx", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tolsa::codec::GlobMatch(c.pattern, c.text), c.match) << c.pattern << " ~ " << c.text;
}

}  // namespace
