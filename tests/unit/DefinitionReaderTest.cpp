// Declarations read from definition file text: which lines declare, the name
// and letter each gives, long lines judged once, NUL bytes, and rewinding.

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "UnitSupport.h"
#include "store/DefinitionReader.h"

namespace tolsa {
namespace {

struct Declared {
    std::string name;  // as kept: at most 249 characters
    std::size_t length;
    char letter;
    bool operator==(const Declared&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Declared& d) {
    return out << "{\"" << d.name << "\" (" << d.name.size() << " kept of " << d.length << "), letter " << int(d.letter)
               << "}";
}

Declared D(const std::string& name, char letter) { return {name, name.size(), letter}; }

class DefinitionReaderTest : public testing::Test {
protected:
    void TearDown() override {
        if (file_ != nullptr) std::fclose(file_);
    }
    std::FILE* Open(const std::string& bytes) {
        if (file_ != nullptr) std::fclose(file_);
        dir_.Write("iorsh.mem", bytes);
        file_ = std::fopen(dir_.PathOf("iorsh.mem").c_str(), "rb");
        EXPECT_NE(file_, nullptr);
        return file_;
    }
    static std::vector<Declared> ReadAll(DefinitionReader& reader) {
        std::vector<Declared> out;
        Declaration d;
        while (reader.Next(d)) out.push_back({d.name, d.nameLength, d.letter});
        return out;
    }
    std::vector<Declared> Declarations(const std::string& bytes) {
        DefinitionReader reader(Open(bytes));
        return ReadAll(reader);
    }

    test::TempDir dir_;
    std::FILE* file_ = nullptr;
};

TEST_F(DefinitionReaderTest, LinesAndWhatTheyDeclare) {
    using namespace std::string_literals;
    const struct {
        std::string text;
        std::vector<Declared> declared;
    } cases[] = {
        {"Speed=L\n", {D("Speed", 'L')}},
        {"Label=$ operator text\n", {D("Label", '$')}},
        {"Speed = L\n", {D("Speed ", ' ')}},
        {"Flag=\n", {D("Flag", '\n')}},
        {"A=B=C\n", {D("A", 'B')}},
        {" Speed=L\n", {D(" Speed", 'L')}},
        {"Flag=", {D("Flag", '\0')}},  // the last text of the file, no line end
        {"Speed=L", {D("Speed", 'L')}},
        {"//Speed=L\n[Speed=L]\n;Speed=L\n/Speed=L\n", {}},
        {"[Section]\n; note\nMode=W\n", {D("Mode", 'W')}},
        {"noequals\n\n   \n\n", {}},
        {"=L\n", {D("", 'L')}},
        {" =L\n", {D(" ", 'L')}},
        {"Speed=L\r\nFlag=\r\nName=$\r\n", {D("Speed", 'L'), D("Flag", '\n'), D("Name", '$')}},
        // A lone carriage return ends no line.
        {"Flag=\rNext=B\r", {D("Flag", '\r')}},
        {"A=L\rB=W\nC=D\r", {D("A", 'L'), D("C", 'D')}},
        {"\r\nA=L\r\r\n", {D("A", 'L')}},
        // Judged up to the first NUL byte.
        {"\0Speed=L\nNext=B\n"s, {D("Next", 'B')}},
        {"Sp\0eed=L\nNext=B\n"s, {D("Next", 'B')}},
        {"Speed=\0\nNext=B\n"s, {D("Speed", '\0'), D("Next", 'B')}},
        {"Speed=L\0Junk=W\nNext=B\n"s, {D("Speed", 'L'), D("Next", 'B')}},
        {"Speed\0=L\n"s, {}},
        {"Dup=L\nDup=W\n", {D("Dup", 'L'), D("Dup", 'W')}},
    };
    for (const auto& c : cases) EXPECT_EQ(Declarations(c.text), c.declared) << testing::PrintToString(c.text);
}

TEST_F(DefinitionReaderTest, LongLinesAreJudgedOnceAsAWhole) {
    const std::string tail = "Tail=L";  // would be a declaration of its own if the line were cut
    const struct {
        std::string text;
        std::vector<Declared> declared;
    } cases[] = {
        {std::string(1021, 'N') + "=L\n", {{std::string(249, 'N'), 1021, 'L'}}},  // 1,023 characters
        {std::string(1022, 'N') + "=L\n", {{std::string(249, 'N'), 1022, 'L'}}},  // 1,024
        {std::string(99998, 'N') + "=L\nNext=B\n", {{std::string(249, 'N'), 99998, 'L'}, D("Next", 'B')}},
        {";" + std::string(1100, 'c') + tail + "\nNext=B\n", {D("Next", 'B')}},
        {";" + std::string(1022, 'c') + tail + "\n", {}},
        {"[" + std::string(99990, 'c') + tail + "]\n", {}},
        {std::string(1500, 'x') + "\n" + tail + "\n", {D("Tail", 'L')}},
        {"A=L" + std::string(1020, ' ') + tail + "\n", {D("A", 'L')}},
    };
    for (const auto& c : cases) EXPECT_EQ(Declarations(c.text), c.declared) << c.text.size() << " bytes";
}

TEST_F(DefinitionReaderTest, NameLengthIsWholeButKeptTo249) {
    for (std::size_t length : {248u, 249u, 250u, 10000u}) {
        const std::string name(length, 'n');
        DefinitionReader reader(Open(name + "=D\n"));
        Declaration d;
        ASSERT_TRUE(reader.Next(d)) << length;
        EXPECT_EQ(d.nameLength, length);
        EXPECT_EQ(std::string(d.name), name.substr(0, 249));
        EXPECT_EQ(d.IsCut(), length > 249) << length;
        EXPECT_EQ(d.letter, 'D');
        EXPECT_FALSE(reader.Next(d));
    }
}

TEST_F(DefinitionReaderTest, LineEndSplitAcrossReadsStillFolds) {
    // The reader takes the file in blocks of 4096 bytes: put "\r" last in the
    // first block and "\n" first in the second.
    std::string text = ";" + std::string(4088, 'c') + "\n" + "Flag=";
    ASSERT_EQ(text.size(), 4095u);
    text += "\r\nNext=B\n";
    EXPECT_EQ(Declarations(text), (std::vector<Declared>{D("Flag", '\n'), D("Next", 'B')}));
}

// With an end byte (Ctrl-Z, as Windows text mode reads), the file ends at
// its first one, wherever it stands, also after a rewind; without one it is
// an ordinary byte.
TEST_F(DefinitionReaderTest, EndByteEndsTheFile) {
    using namespace std::string_literals;
    const struct {
        std::string text;
        std::vector<Declared> withEnd;
        std::vector<Declared> without;
    } cases[] = {
        {"A=L\r\n\x1A", {D("A", 'L')}, {D("A", 'L')}},
        {"A=L\r\n\x1A\r\nB=W\r\n", {D("A", 'L')}, {D("A", 'L'), D("B", 'W')}},
        {"A=L\n\x1A" "B=W\n", {D("A", 'L')}, {D("A", 'L'), D("\x1A" "B", 'W')}},
        {"A=\x1AL\nB=W\n", {D("A", '\0')}, {D("A", '\x1A'), D("B", 'W')}},
        {"A\x1A=L\nB=W\n", {}, {D("A\x1A", 'L'), D("B", 'W')}},
        {"A=L\r\x1A\nB=W\n", {D("A", 'L')}, {D("A", 'L'), D("B", 'W')}},
        {"\x1A", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        DefinitionReader ended(Open(c.text), 0x1A);
        EXPECT_EQ(ReadAll(ended), c.withEnd);
        ended.Rewind();
        EXPECT_EQ(ReadAll(ended), c.withEnd);
        EXPECT_EQ(Declarations(c.text), c.without);
    }
}

TEST_F(DefinitionReaderTest, RewindStartsOver) {
    std::string text;
    std::vector<Declared> all;
    for (int i = 0; i < 600; ++i) {  // more than one read block
        text += "; comment\nVariable" + std::to_string(i) + "=L\r\n";
        all.push_back(D("Variable" + std::to_string(i), 'L'));
    }
    DefinitionReader reader(Open(text));
    EXPECT_EQ(ReadAll(reader), all);
    reader.Rewind();  // from the end of the file
    EXPECT_EQ(ReadAll(reader), all);
    reader.Rewind();
    Declaration d;
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(reader.Next(d));
    reader.Rewind();  // from the middle
    EXPECT_EQ(ReadAll(reader), all);
}

}  // namespace
}  // namespace tolsa
