// tolsa watch [PATTERN] [--interval MS] [--count N]

#include <cstdio>
#include <string>

#include "Area.h"
#include "Changes.h"
#include "Commands.h"
#include "Glob.h"
#include "Options.h"
#include "Terminal.h"
#include "ValueFormat.h"

namespace tolsa::tool {

const char* const kWatchHelp =
    "usage: tolsa watch [PATTERN] [--interval MS] [--count N]\n\n"
    "Shows the variables whose full name matches PATTERN (all by default) every\n"
    "MS milliseconds (500 by default), marking with '*' the values that changed\n"
    "since the refresh before. On a terminal the table is redrawn in place;\n"
    "otherwise each refresh is printed as plain lines after a line\n"
    "'refresh K'. Ends on Ctrl-C, or after N refreshes; with exit status 3 when\n"
    "no other process has the area mapped any more.\n";

namespace {

constexpr const char* kClearBelow = "\x1b[J";
constexpr const char* kClearLine = "\x1b[K";
constexpr const char* kHighlight = "\x1b[1;7m";
constexpr const char* kPlain = "\x1b[0m";

std::vector<Record> Matching(const AttachedArea& area, const std::string& pattern) {
    std::vector<Record> shown;
    for (auto& record : area.ReadAll())
        if (GlobMatch(pattern, record.name)) shown.push_back(std::move(record));
    return shown;
}

}  // namespace

int RunWatch(const Arguments& arguments) {
    const ParsedOptions parsed = ParseOptions(arguments, {{"--interval", true}, {"--count", true}});
    if (!parsed.error.empty()) return UsageError(kWatchHelp, parsed.error);
    if (parsed.operands.size() > 1) return UsageError(kWatchHelp, "watch takes one pattern at most");
    long interval = 500, count = 0;
    if (const auto text = parsed.Value("--interval")) {
        const auto value = PositiveNumber(*text, 3600 * 1000L);
        if (!value) return UsageError(kWatchHelp, "--interval takes milliseconds from 1 to 3600000");
        interval = *value;
    }
    if (const auto text = parsed.Value("--count")) {
        const auto value = PositiveNumber(*text, 1000000000L);
        if (!value) return UsageError(kWatchHelp, "--count takes a number from 1 on");
        count = *value;
    }
    const std::string pattern = parsed.operands.empty() ? "*" : parsed.operands[0];
    const bool terminal = StdoutIsTerminal();
    if (terminal) EnableEscapeSequences();
    const auto area = AttachOrComplain();
    if (area == nullptr) return kExitNoArea;
    CatchInterrupt();
    std::vector<Record> before;
    std::size_t drawn = 0;  // lines of the table on the terminal
    for (long refresh = 1; !Interrupted(); ++refresh) {
        if (!area->Shared()) {
            Complain(attach::LostAreaMessage());
            return kExitNoArea;
        }
        const auto now = Matching(*area, pattern);
        const auto changed = Changes(before, now);
        const auto rows = FormatRows(now, changed);
        if (terminal) {
            // Back to the table's first line and over it, so that what was on
            // the terminal before the table stays.
            std::string screen = drawn > 0 ? "\r\x1b[" + std::to_string(drawn) + "A" : std::string();
            screen += "tolsa watch " + pattern + ": " + std::to_string(now.size()) +
                      (now.size() == 1 ? " variable" : " variables") + ", every " +
                      std::to_string(interval) + " ms, refresh " + std::to_string(refresh) +
                      (count ? " of " + std::to_string(count) : std::string(", Ctrl-C ends")) + kClearLine + "\n";
            for (std::size_t i = 0; i < rows.size(); ++i)
                screen += (changed[i] ? kHighlight + rows[i] + kPlain : rows[i]) + kClearLine + "\n";
            screen += kClearBelow;
            std::fputs(screen.c_str(), stdout);
            drawn = 1 + rows.size();
        } else {
            std::printf("refresh %ld\n", refresh);
            for (const auto& row : rows) std::printf("%s\n", row.c_str());
        }
        std::fflush(stdout);
        if (count != 0 && refresh >= count) break;
        SleepUnlessInterrupted(interval);
        before = now;
    }
    return kExitOk;
}

}  // namespace tolsa::tool
