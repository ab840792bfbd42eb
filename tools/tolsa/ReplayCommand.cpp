// tolsa replay FILE [--speed FACTOR] [--loop] [--only PATTERN...]

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
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
#include "ValueParse.h"

namespace tolsa::tool {

const char* const kReplayHelp =
    "usage: tolsa replay FILE [--speed FACTOR] [--loop] [--only PATTERN...]\n\n"
    "Writes the values of each row of FILE (CSV as 'tolsa record' writes it: a\n"
    "header 'time' and full names, then ISO 8601 times and values) into the\n"
    "variables, at the row's time after the first row divided by FACTOR (1 by\n"
    "default: 2 plays twice as fast). With --loop it starts over after the last\n"
    "row, as long after it as rows are apart on average (100 ms for a file of\n"
    "one row); with --only only the columns matching one of the PATTERNs are played,\n"
    "and the others are not looked at beyond the file's form.\n"
    "The whole file is checked before anything is written; on any error nothing\n"
    "is. Files from other programs are read too: quoted fields, CR LF line ends,\n"
    "a UTF-8 byte order mark, times with an offset (+01:00) or without a fraction.\n"
    "Ctrl-C stops between rows.\n"
    "Exit status: 0 done (also on Ctrl-C), 1 a column that is not a variable,\n"
    "2 a malformed file or a value that does not parse or fit its variable (the\n"
    "file, line and column are named) or a wrong command line, 3 no area (or\n"
    "every other process left it while playing), 4 the file cannot be read.\n";

namespace {

// A played column: its place in the file's rows and the variable it feeds.
struct Column {
    std::size_t field;
    std::string name;
    int32_t index;
    char type;
    int32_t size;
};

std::optional<double> Speed(const std::string& text) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    double value = 0;
    if (!(in >> value) || !in.eof() || !std::isfinite(value) || value < 0.001 || value > 1000000) return std::nullopt;
    return value;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// What is wrong with the file, as "FILE, line N[, column C (NAME)]: what".
std::string At(const std::string& path, int line, const std::string& what) {
    return path + ", line " + std::to_string(line) + ": " + what;
}
std::string At(const std::string& path, int line, std::size_t field, const std::string& name, const std::string& what) {
    return path + ", line " + std::to_string(line) + ", column " + std::to_string(field + 1) + " (" +
           Printable(name) + "): " + what;
}

struct Checked {
    int status = kExitOk;
    std::vector<Column> columns;
    std::size_t rows = 0;
    int64_t firstTime = 0;
    int64_t lastTime = 0;
};

// Everything replay will write, checked before the first write.
Checked Check(const std::string& path, const std::string& text, const AttachedArea& area,
              const std::vector<std::string>& only) {
    Checked checked;
    const auto refuse = [&](int status, const std::string& why) {
        Complain(why);
        checked.status = status;
        return checked;
    };
    CsvReader reader(text);
    CsvRecord header;
    if (!reader.Next(header))
        return refuse(kExitBadValue, reader.Error().empty() ? path + ": no header row" : path + ", " + reader.Error());
    if (header.fields[0] != "time")
        return refuse(kExitBadValue, At(path, header.line, "the first column must be 'time', not '" +
                                                                Printable(header.fields[0]) + "'"));
    bool unknown = false;
    for (std::size_t i = 1; i < header.fields.size(); ++i) {
        const std::string& name = header.fields[i];
        for (std::size_t j = 1; j < i; ++j)
            if (header.fields[j] == name)
                return refuse(kExitBadValue, At(path, header.line, i, name, "the column appears twice"));
        bool wanted = only.empty();
        for (const auto& pattern : only) wanted = wanted || GlobMatch(pattern, name);
        if (!wanted) continue;
        const int32_t index = area.Find(name);
        if (index < 0) {
            Complain(At(path, header.line, i, name, "no variable has this name"));
            unknown = true;
            continue;
        }
        const Record record = area.Read(index);
        checked.columns.push_back({i, name, index, record.type, record.size});
    }
    if (unknown) {
        checked.status = kExitUnknown;
        return checked;
    }
    if (checked.columns.empty()) return refuse(kExitUnknown, path + ": no column matches the patterns given");

    CsvRecord row;
    int64_t before = 0;
    while (reader.Next(row)) {
        if (row.fields.size() != header.fields.size())
            return refuse(kExitBadValue, At(path, row.line, std::to_string(row.fields.size()) + " fields where the header has " +
                                                                std::to_string(header.fields.size())));
        const auto time = ParseIsoTime(row.fields[0]);
        if (!time)
            return refuse(kExitBadValue, At(path, row.line, 0, "time", "'" + Printable(row.fields[0]) +
                                                                           "' is not an ISO 8601 time with its zone"));
        if (checked.rows > 0 && *time < before)
            return refuse(kExitBadValue, At(path, row.line, 0, "time", "goes back before the row above"));
        if (checked.rows == 0) checked.firstTime = *time;
        before = checked.lastTime = *time;
        for (const auto& column : checked.columns) {
            const ParsedValue value = ParseValue(column.type, column.size, row.fields[column.field]);
            if (!value.ok) return refuse(kExitBadValue, At(path, row.line, column.field, column.name, value.error));
        }
        ++checked.rows;
    }
    if (!reader.Error().empty()) return refuse(kExitBadValue, path + ", " + reader.Error());
    return checked;
}

}  // namespace

int RunReplay(const Arguments& arguments) {
    const ParsedOptions parsed = ParseOptions(arguments, {{"--speed", true}, {"--loop", false}, {"--only", true}});
    if (!parsed.error.empty()) return UsageError(kReplayHelp, parsed.error);
    if (parsed.operands.empty()) return UsageError(kReplayHelp, "replay needs a FILE");
    // The words after FILE are further patterns of --only.
    std::vector<std::string> only;
    for (const auto& option : parsed.options)
        if (option.first == "--only") only.push_back(option.second);
    if (parsed.operands.size() > 1 && only.empty()) return UsageError(kReplayHelp, "replay takes one FILE");
    only.insert(only.end(), parsed.operands.begin() + 1, parsed.operands.end());
    double speed = 1;
    if (const auto text = parsed.Value("--speed")) {
        const auto value = Speed(*text);
        if (!value) return UsageError(kReplayHelp, "--speed takes a factor from 0.001 to 1000000");
        speed = *value;
    }
    const std::string& path = parsed.operands[0];

    const auto area = AttachOrComplain();
    if (area == nullptr) return kExitNoArea;
    std::string text;
    if (!ReadWholeFile(path, text)) {
        Complain("cannot read " + path);
        return kExitFile;
    }
    const Checked checked = Check(path, text, *area, only);
    if (checked.status != kExitOk) return checked.status;

    using Clock = std::chrono::steady_clock;
    CatchInterrupt();
    StatusLine status;
    auto lastShareCheck = Clock::now();
    long long played = 0;
    const auto show = [&](const std::string& next, bool force) {
        status.Show("tolsa replay: " + std::to_string(played) + (played == 1 ? " row" : " rows") + " played of " +
                        std::to_string(checked.rows) + ", next " + next + " (Ctrl-C stops)",
                    force);
    };
    // A pass lasts from the first row to the last and one mean row interval
    // more, so that a loop keeps the file's pace across its seam.
    const int64_t span = checked.lastTime - checked.firstTime;
    const int64_t gap = checked.rows > 1 ? span / static_cast<int64_t>(checked.rows - 1) : 100000;
    // At least a millisecond, so that a file whose rows share one time does not spin.
    const auto pass = std::max<std::chrono::microseconds>(
        std::chrono::milliseconds(1), std::chrono::microseconds(static_cast<int64_t>(static_cast<double>(span + gap) / speed)));
    auto start = Clock::now();
    for (bool first = true; first || (parsed.Has("--loop") && checked.rows > 0 && !Interrupted()); first = false) {
        if (!first) start += pass;
        CsvReader reader(text);
        CsvRecord row;
        reader.Next(row);  // the header
        while (!Interrupted() && reader.Next(row)) {
            const double offset = static_cast<double>(*ParseIsoTime(row.fields[0]) - checked.firstTime) / speed;
            const auto due = start + std::chrono::microseconds(static_cast<int64_t>(offset));
            for (;;) {
                const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
                if (wait <= 0 || Interrupted()) break;
                SleepUnlessInterrupted(static_cast<long>(std::min<long long>(wait, 250)));
                show(row.fields[0], false);
            }
            if (Interrupted()) break;
            if (Clock::now() - lastShareCheck >= std::chrono::milliseconds(250)) {
                lastShareCheck = Clock::now();
                if (!area->Shared()) {
                    Complain(attach::LostAreaMessage() + "; " + std::to_string(played) + " rows were played");
                    return kExitNoArea;
                }
            }
            for (const auto& column : checked.columns)
                area->Write(column.index, ParseValue(column.type, column.size, row.fields[column.field]).bytes.data());
            ++played;
            show(row.fields[0], false);
        }
    }
    show("none", true);
    return kExitOk;
}

}  // namespace tolsa::tool
