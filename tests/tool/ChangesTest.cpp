// What watch marks as changed between two refreshes.

#include <gtest/gtest.h>

#include "Changes.h"

namespace {

using tolsa::tool::Record;

Record Make(int index, const char* name, char type, unsigned char first) {
    Record record;
    record.index = index;
    record.name = name;
    record.type = type;
    record.size = type == '$' ? 63 : 1;
    record.value[0] = first;
    return record;
}

TEST(Changes, MarksWhatTheReaderWouldSeeChange) {
    using tolsa::tool::Changes;
    const std::vector<Record> before = {Make(0, "A", 'B', 1), Make(1, "S", '$', 'x'), Make(2, "C", 'B', 3)};
    EXPECT_EQ(Changes({}, before), (std::vector<bool>{false, false, false}));  // the first refresh
    EXPECT_EQ(Changes(before, before), (std::vector<bool>{false, false, false}));

    auto now = before;
    now[0].value[0] = 2;    // a new value
    now[1].value[40] = 'z';  // behind the string's terminator: nothing shows
    now[2].type = 'H';      // start-up elsewhere redeclared it
    EXPECT_EQ(Changes(before, now), (std::vector<bool>{true, false, true}));

    // Matched by index, not by position, and a record not seen before is new.
    const std::vector<Record> shifted = {Make(2, "C", 'B', 3), Make(7, "N", 'B', 0)};
    EXPECT_EQ(Changes(before, shifted), (std::vector<bool>{false, true}));
}

}  // namespace
