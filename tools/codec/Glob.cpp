#include "Glob.h"

#include <cstddef>

namespace tolsa::codec {

namespace {

// Matches the set that starts at pattern[at] (just after '[') against c.
// Returns the position after the closing ']' in `next`, or false in `valid`
// when there is no closing bracket (the '[' then stands for itself).
bool MatchSet(std::string_view pattern, std::size_t at, unsigned char c, std::size_t& next, bool& valid) {
    bool negate = false;
    if (at < pattern.size() && (pattern[at] == '!' || pattern[at] == '^')) {
        negate = true;
        ++at;
    }
    bool found = false;
    bool first = true;
    while (at < pattern.size() && (first || pattern[at] != ']')) {
        first = false;
        unsigned char low = static_cast<unsigned char>(pattern[at]);
        if (low == '\\' && at + 1 < pattern.size()) low = static_cast<unsigned char>(pattern[++at]);
        ++at;
        unsigned char high = low;
        if (at + 1 < pattern.size() && pattern[at] == '-' && pattern[at + 1] != ']') {
            high = static_cast<unsigned char>(pattern[at + 1]);
            if (high == '\\' && at + 2 < pattern.size()) high = static_cast<unsigned char>(pattern[++at + 1]);
            at += 2;
        }
        if (low <= c && c <= high) found = true;
    }
    valid = at < pattern.size();
    next = at + 1;
    return found != negate;
}

}  // namespace

bool GlobMatch(std::string_view pattern, std::string_view text) {
    std::size_t p = 0, t = 0;
    // Where the last '*' was and how much text it has taken: on a mismatch the
    // star takes one more character and matching resumes behind it.
    std::size_t starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size()) {
            const char c = pattern[p];
            if (c == '*') {
                starP = ++p;
                starT = t;
                continue;
            }
            if (c == '?') {
                ++p;
                ++t;
                continue;
            }
            if (c == '[') {
                std::size_t next = 0;
                bool valid = false;
                const bool hit = MatchSet(pattern, p + 1, static_cast<unsigned char>(text[t]), next, valid);
                if (valid) {
                    if (hit) {
                        p = next;
                        ++t;
                        continue;
                    }
                } else if (text[t] == '[') {
                    ++p;
                    ++t;
                    continue;
                }
            } else {
                std::size_t literal = p;
                if (c == '\\' && p + 1 < pattern.size()) literal = p + 1;
                if (pattern[literal] == text[t]) {
                    p = literal + 1;
                    ++t;
                    continue;
                }
            }
        }
        if (starP == std::string_view::npos) return false;
        p = starP;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace tolsa::codec
