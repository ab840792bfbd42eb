#include "Commands.h"

#include <cstdio>

namespace tolsa::tool {

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"list", "one row per variable: index, name, type, size, value", kListHelp, RunList},
        {"get", "the value of variables, by name or #index", kGetHelp, RunGet},
        {"set", "write a value, checked against the variable's type", kSetHelp, RunSet},
        {"watch", "a live table of the values, changes marked", kWatchHelp, RunWatch},
        {"dump", "every record, tab-separated or as JSON, for scripts", kDumpHelp, RunDump},
        {"info", "the shared area's size and records, and the log as it stands", kInfoHelp, RunInfo},
        {"record", "sample variables into a CSV file", kRecordHelp, RunRecord},
        {"replay", "write a recorded CSV file back into the variables", kReplayHelp, RunReplay},
        {"serve", "a live view in a web browser, with trend charts", kServeHelp, RunServe},
    };
    return commands;
}

bool WantsHelp(const Arguments& arguments) {
    for (const auto& argument : arguments)
        if (argument == "--help" || argument == "-h") return true;
    return false;
}

void Complain(std::string_view message) {
    std::fprintf(stderr, "tolsa: %.*s\n", static_cast<int>(message.size()), message.data());
}

int UsageError(const char* help, std::string_view problem) {
    Complain(problem);
    std::fputs(help, stderr);
    return kExitUsage;
}

}  // namespace tolsa::tool
