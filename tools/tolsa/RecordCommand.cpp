// tolsa record [PATTERN...] --output FILE [--interval MS] [--duration SECONDS | --count N] [--changes]

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Area.h"
#include "Commands.h"
#include "Csv.h"
#include "Glob.h"
#include "IsoTime.h"
#include "Options.h"
#include "Terminal.h"
#include "ValueFormat.h"

namespace tolsa::tool {

const char* const kRecordHelp =
    "usage: tolsa record [PATTERN...] --output FILE [--interval MS]\n"
    "                    [--duration SECONDS | --count N] [--changes]\n\n"
    "Samples the variables whose full name matches one of the PATTERNs (all by\n"
    "default) every MS milliseconds (100 by default) into FILE, as CSV: a header\n"
    "row 'time' and the full names, then one row per sample with the time in\n"
    "ISO 8601 UTC (2026-12-10T14:00:00.123456Z) and each value as 'tolsa list'\n"
    "shows it (text quoted when it needs to be). Every value of a row is read in\n"
    "the same pass. With --changes a row is written only when a value changed\n"
    "since the row before. Ends after SECONDS, after N rows, or on Ctrl-C; the\n"
    "file is complete in every case. 'tolsa replay' plays the file back.\n"
    "Exit status: 0 done (also on Ctrl-C), 1 no variable matches, 2 a wrong\n"
    "command line, 3 no area (or every other process left it while recording:\n"
    "the file holds the rows up to then), 4 the file cannot be written.\n";

namespace {

struct Column {
    std::string name;
    int32_t index;
};

// Each matching name once, sampled from the record a lookup by that name
// finds (the later of two records declared with one name), which is also
// the record replay writes.
std::vector<Column> MatchingColumns(const AttachedArea& area, const std::vector<std::string>& patterns) {
    std::vector<Column> columns;
    std::vector<bool> taken(static_cast<std::size_t>(area.Count()), false);
    for (const auto& record : area.ReadAll()) {
        if (record.name.empty()) continue;
        bool matches = patterns.empty();
        for (const auto& pattern : patterns) matches = matches || GlobMatch(pattern, record.name);
        const int32_t index = area.Find(record.name);
        if (!matches || index < 0 || taken[static_cast<std::size_t>(index)]) continue;
        taken[static_cast<std::size_t>(index)] = true;
        columns.push_back({record.name, index});
    }
    return columns;
}

std::string Size(long long bytes) {
    char text[32];
    if (bytes < 10 * 1024) std::snprintf(text, sizeof text, "%lld B", bytes);
    else if (bytes < 10 * 1024 * 1024) std::snprintf(text, sizeof text, "%lld KiB", bytes / 1024);
    else std::snprintf(text, sizeof text, "%lld MiB", bytes / (1024 * 1024));
    return text;
}

// The output file, written a whole row at a time.
class Output {
public:
    explicit Output(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "wb")) {
        if (file_ == nullptr) error_ = std::strerror(errno);
    }
    ~Output() { Close(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    bool Write(const std::string& row) {
        if (file_ == nullptr) return false;
        if (std::fwrite(row.data(), 1, row.size(), file_) != row.size() || std::fflush(file_) != 0) {
            error_ = std::strerror(errno);
            return false;
        }
        bytes_ += static_cast<long long>(row.size());
        return true;
    }
    // False when the last bytes could not be written.
    bool Close() {
        if (file_ == nullptr) return error_.empty();
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!closed && error_.empty()) error_ = std::strerror(errno);
        return closed && error_.empty();
    }
    long long Bytes() const { return bytes_; }
    std::string Problem() const { return "cannot write " + path_ + ": " + error_; }

private:
    std::string path_;
    std::FILE* file_;
    std::string error_;
    long long bytes_ = 0;
};

}  // namespace

int RunRecord(const Arguments& arguments) {
    const ParsedOptions parsed = ParseOptions(arguments, {{"--output", true},
                                                          {"--interval", true},
                                                          {"--duration", true},
                                                          {"--count", true},
                                                          {"--changes", false}});
    if (!parsed.error.empty()) return UsageError(kRecordHelp, parsed.error);
    const auto path = parsed.Value("--output");
    if (!path || path->empty()) return UsageError(kRecordHelp, "record needs --output FILE");
    long interval = 100, duration = 0, count = 0;
    if (const auto text = parsed.Value("--interval")) {
        const auto value = PositiveNumber(*text, 3600 * 1000L);
        if (!value) return UsageError(kRecordHelp, "--interval takes milliseconds from 1 to 3600000");
        interval = *value;
    }
    if (const auto text = parsed.Value("--duration")) {
        const auto value = PositiveNumber(*text, 366 * 86400L);
        if (!value) return UsageError(kRecordHelp, "--duration takes seconds from 1 to 31622400");
        duration = *value;
    }
    if (const auto text = parsed.Value("--count")) {
        const auto value = PositiveNumber(*text, 1000000000L);
        if (!value) return UsageError(kRecordHelp, "--count takes a number from 1 on");
        count = *value;
    }
    if (duration != 0 && count != 0) return UsageError(kRecordHelp, "--duration and --count do not go together");
    const bool changesOnly = parsed.Has("--changes");

    const auto area = AttachOrComplain();
    if (area == nullptr) return kExitNoArea;
    const auto columns = MatchingColumns(*area, parsed.operands);
    if (columns.empty()) {
        Complain("no variable matches the patterns given");
        return kExitUnknown;
    }
    Output output(*path);
    std::vector<std::string> header = {"time"};
    for (const auto& column : columns) header.push_back(column.name);
    if (!output.Write(CsvRow(header))) {
        Complain(output.Problem());
        return kExitFile;
    }

    using Clock = std::chrono::steady_clock;
    CatchInterrupt();
    StatusLine status;
    const auto start = Clock::now();
    const auto period = std::chrono::milliseconds(interval);
    auto lastShareCheck = start;
    std::vector<std::string> last, values(columns.size());
    long long rows = 0;
    for (long long tick = 0; !Interrupted(); ++tick) {
        // One time per row, then every value in one pass right after it.
        const int64_t time = NowMicroseconds();
        for (std::size_t i = 0; i < columns.size(); ++i) values[i] = DecodeValue(area->Read(columns[i].index));
        if (!changesOnly || rows == 0 || values != last) {
            std::vector<std::string> row = {FormatIsoTime(time)};
            row.insert(row.end(), values.begin(), values.end());
            if (!output.Write(CsvRow(row))) {
                Complain(output.Problem());
                return kExitFile;
            }
            ++rows;
            last = values;
        }
        const auto elapsed = Clock::now() - start;
        status.Show("tolsa record: " + std::to_string(rows) + (rows == 1 ? " row, " : " rows, ") +
                    std::to_string(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count()) + " s, " +
                    Size(output.Bytes()) + " in " + *path + " (Ctrl-C ends)");
        if (count != 0 && rows >= count) break;
        // The next sample on the schedule; samples that fell behind are skipped.
        auto next = start + period * (tick + 1);
        if (next < Clock::now()) {
            tick = (Clock::now() - start) / period;
            next = start + period * (tick + 1);
        }
        if (duration != 0 && next - start >= std::chrono::seconds(duration)) break;
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
        if (wait > 0) SleepUnlessInterrupted(static_cast<long>(wait));
        // Whether anyone but this tool still holds the area, at most four times a second.
        if (Clock::now() - lastShareCheck >= std::chrono::milliseconds(250)) {
            lastShareCheck = Clock::now();
            if (!area->Shared()) {
                status.Show("tolsa record: " + std::to_string(rows) + " rows in " + *path, true);
                if (!output.Close()) {
                    Complain(output.Problem());
                    return kExitFile;
                }
                Complain(attach::LostAreaMessage() + "; " + *path + " holds the " + std::to_string(rows) +
                         " rows recorded until then");
                return kExitNoArea;
            }
        }
    }
    status.Show("tolsa record: " + std::to_string(rows) + (rows == 1 ? " row" : " rows") + " in " + *path, true);
    if (!output.Close()) {
        Complain(output.Problem());
        return kExitFile;
    }
    return kExitOk;
}

}  // namespace tolsa::tool
