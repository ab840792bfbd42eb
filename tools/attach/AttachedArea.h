#pragma once
// A view of the area that other processes created, attached by name without
// start-up: it never creates an area, never writes a name, type or size, and
// never opens the log for writing. While attached it holds the same holder's
// lock as the library (Linux), so the area is never reset under it.
//
// Names are found through an index of its own, built with the library's own
// name-index code over the attached records in record order, so a name
// declared twice resolves as it does in a process that filled the area.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Record.h"

namespace tolsa::attach {

inline constexpr const char* kAreaName = "tolsavariables";
inline constexpr std::size_t kRecordBytes = 328;  // one record of the area

class AttachedArea {
public:
    // Attaches to "tolsavariables". Null when it cannot; *why (when given)
    // then holds the message, for a missing area (on Linux also one that
    // every holder has left):
    //   no process has the variables mapped (no shared area "tolsavariables")
    static std::unique_ptr<AttachedArea> Open(std::string* why);
    ~AttachedArea();
    AttachedArea(const AttachedArea&) = delete;
    AttachedArea& operator=(const AttachedArea&) = delete;

    // The records the view holds, trailing records with an empty name not
    // counted; taken once, when attaching.
    int32_t Count() const { return count_; }
    // The size of the mapped view (on Windows rounded up to a page).
    std::size_t Bytes() const;
    // A copy of one record, taken in one go; index < Count().
    codec::Record Read(int32_t index) const;
    // Copies of every record, in index order.
    std::vector<codec::Record> ReadAll() const;
    // The index of the record a lookup by this full name finds; -1 when none.
    int32_t Find(std::string_view fullName) const;
    // Writes the value bytes only (64 of them, strings NUL-terminated), by the
    // library's copy rules for the record's letter and size (as TolsaWriteVar
    // does), through the library's own copy code. index < Count().
    void Write(int32_t index, const unsigned char* bytes);
    // False once no other process holds the area (the producers ended, or
    // the object was removed): the caller should drop this view, so that a
    // later starter can reset the area, and Open() again later.
    bool Shared() const;

private:
    struct State;
    explicit AttachedArea(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
    int32_t count_ = 0;
};

// The message of a missing area, without the "tolsa: " a program puts before it.
std::string NoAreaMessage();
// The message when Shared() turned false: every other holder has left.
std::string LostAreaMessage();

}  // namespace tolsa::attach
