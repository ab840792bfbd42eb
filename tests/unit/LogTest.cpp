// How the log prints numbers and addresses, and that a line goes out exactly
// as given, at once, and only while a stream is open.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "UnitSupport.h"
#include "store/Log.h"

namespace tolsa {
namespace {

TEST(LogFormat, DecimalIsSigned32Bit) {
    const struct {
        int32_t value;
        const char* text;
    } cases[] = {{INT32_MIN, "-2147483648"}, {-1, "-1"}, {0, "0"}, {7, "7"}, {INT32_MAX, "2147483647"}};
    for (const auto& c : cases) EXPECT_EQ(std::string_view(Decimal(c.value)), c.text);
}

TEST(LogFormat, AddressIsSixteenUpperCaseDigits) {
    const struct {
        uintptr_t address;
        const char* text;
    } cases[] = {
        {0, "0000000000000000"},
        {0x1F, "000000000000001F"},
        {0x00007FFABCDEF012u, "00007FFABCDEF012"},
        {UINTPTR_MAX, "FFFFFFFFFFFFFFFF"},
    };
    for (const auto& c : cases) EXPECT_EQ(std::string_view(Address(reinterpret_cast<const void*>(c.address))), c.text);
}

class LogTest : public testing::Test {
protected:
    void TearDown() override { log_.Adopt(nullptr); }  // closes the stream before the directory goes
    std::FILE* OpenBinary(const std::string& name) {
        std::FILE* file = std::fopen(dir_.PathOf(name).c_str(), "wb");
        EXPECT_NE(file, nullptr);
        return file;
    }

    test::TempDir dir_;
    Log log_;
};

TEST_F(LogTest, LineWritesExactlyItsPartsAndFlushes) {
    log_.Adopt(OpenBinary("log"));
    ASSERT_TRUE(log_.IsOpen());
    using namespace std::string_view_literals;
    log_.Line({"a", ""sv, "b\0c"sv, "x\ny", Decimal(-5), "\n"});
    // Read while the stream is still open: the line is out already.
    EXPECT_EQ(dir_.Read("log"), "ab\0cx\ny-5\n"sv);
    log_.Line({"second\n"});
    EXPECT_EQ(dir_.Read("log"), "ab\0cx\ny-5\nsecond\n"sv);
}

TEST_F(LogTest, NothingIsWrittenWithoutAStream) {
    log_.Line({"dropped\n"});  // never opened
    EXPECT_FALSE(log_.IsOpen());

    log_.Adopt(OpenBinary("log"));
    log_.Line({"kept\n"});
    log_.Adopt(nullptr);  // closed again
    EXPECT_FALSE(log_.IsOpen());
    log_.Line({"dropped\n"});
    EXPECT_EQ(dir_.Read("log"), "kept\n");

    log_.Reopen(dir_.PathOf("missing/log").c_str());  // cannot be opened
    EXPECT_FALSE(log_.IsOpen());
    log_.Line({"dropped\n"});
    EXPECT_EQ(dir_.Read("log"), "kept\n");
}

TEST_F(LogTest, ReopenTruncatesAndWritesTextLines) {
    const std::string path = dir_.PathOf("tolsa_log.txt");
    dir_.Write("tolsa_log.txt", "an earlier process's log, longer than the new one\n");
    log_.Reopen(path.c_str());
    ASSERT_TRUE(log_.IsOpen());
    log_.Line({"one\n"});
    EXPECT_EQ(dir_.Read("tolsa_log.txt"), test::AsLogText("one\n"));
    log_.Reopen(path.c_str());  // a later attempt starts the log afresh
    log_.Line({"two\n"});
    EXPECT_EQ(dir_.Read("tolsa_log.txt"), test::AsLogText("two\n"));
}

}  // namespace
}  // namespace tolsa
