#pragma once
// Reads the declarations of one definition file. A line is judged as a whole,
// up to its first NUL byte, however long it is: it declares a variable when
// its first character is none of NUL, '[', ';', '/' and it holds an '='. The
// declared name is everything before the first '=', the letter the one
// character after it (the line end, or NUL at the end of the file, when
// nothing follows). "\r\n" counts as one line end, as in text mode. Where
// the platform's text mode ends a file at a byte (Ctrl-Z on Windows), the
// file ends at the first such byte.

#include <cstddef>
#include <cstdio>

#include "store/VariableRecord.h"

namespace tolsa {

struct Declaration {
    char name[kMaxDeclaredNameLength + 1];  // the first 249 characters, terminated
    std::size_t nameLength = 0;             // the whole declared length
    char letter = '\0';

    bool IsCut() const { return nameLength > kMaxDeclaredNameLength; }
    // The characters kept in `name`.
    std::size_t KeptLength() const { return IsCut() ? kMaxDeclaredNameLength : nameLength; }
};

class DefinitionReader {
public:
    // `endByte`: the byte that ends the file early, or -1 for none.
    explicit DefinitionReader(std::FILE* file, int endByte = -1) : file_(file), endByte_(endByte) {}
    DefinitionReader(const DefinitionReader&) = delete;
    DefinitionReader& operator=(const DefinitionReader&) = delete;

    // The next declaration, or false at the end of the file.
    bool Next(Declaration& declaration);
    // Back to the first line.
    void Rewind();

private:
    static constexpr int kEnd = -1;
    int PeekRaw();
    int Raw();
    int Get();        // the next byte, "\r\n" folded to '\n'; kEnd at the end
    void SkipLine();  // past the next line end

    std::FILE* file_;
    int endByte_;
    // Small: start-up may run on the stack of a thread that just started.
    unsigned char buffer_[4096];
    std::size_t position_ = 0;
    std::size_t filled_ = 0;
};

}  // namespace tolsa
