#include "store/DefinitionReader.h"

namespace tolsa {

int DefinitionReader::PeekRaw() {
    if (position_ == filled_) {
        filled_ = std::fread(buffer_, 1, sizeof buffer_, file_);
        position_ = 0;
        if (filled_ == 0) return kEnd;
    }
    // Never read past: the end byte stays the end.
    return buffer_[position_] == endByte_ ? kEnd : buffer_[position_];
}

int DefinitionReader::Raw() {
    const int c = PeekRaw();
    if (c != kEnd) ++position_;
    return c;
}

int DefinitionReader::Get() {
    const int c = Raw();
    if (c == '\r' && PeekRaw() == '\n') return Raw();
    return c;
}

void DefinitionReader::SkipLine() {
    for (int c = Get(); c != kEnd && c != '\n'; c = Get()) {
    }
}

bool DefinitionReader::Next(Declaration& declaration) {
    for (;;) {
        int c = Get();
        if (c == kEnd) return false;
        if (c == '\n') continue;
        if (c == '\0' || c == '[' || c == ';' || c == '/') {
            SkipLine();
            continue;
        }
        std::size_t length = 0;
        while (c != kEnd && c != '\n' && c != '\0' && c != '=') {
            if (length < kMaxDeclaredNameLength) declaration.name[length] = static_cast<char>(c);
            ++length;
            c = Get();
        }
        if (c != '=') {  // no '=' before the line ends, the file ends or a NUL
            if (c == '\0') SkipLine();
            if (c == kEnd) return false;
            continue;
        }
        declaration.name[length < kMaxDeclaredNameLength ? length : kMaxDeclaredNameLength] = '\0';
        declaration.nameLength = length;
        const int letter = Get();
        declaration.letter = letter == kEnd ? '\0' : static_cast<char>(letter);
        if (letter != kEnd && letter != '\n') SkipLine();
        return true;
    }
}

void DefinitionReader::Rewind() {
    std::fseek(file_, 0, SEEK_SET);
    std::clearerr(file_);
    position_ = filled_ = 0;
}

}  // namespace tolsa
