// tolsa dump [--json]

#include <cstdio>

#include "Area.h"
#include "Commands.h"
#include "Options.h"
#include "ValueFormat.h"

namespace tolsa::tool {

const char* const kDumpHelp =
    "usage: tolsa dump [--json]\n\n"
    "Every record, for scripts. Without --json one line per record, the fields\n"
    "separated by tabs: index, name, type, size, value, raw value bytes in hex.\n"
    "With --json an array with one object per record:\n"
    "  {\"index\": 0, \"name\": \"IORSH_Counter\", \"type\": \"L\", \"size\": 4,\n"
    "   \"value\": 17, \"raw\": \"11000000\"}\n"
    "Numbers are JSON numbers, text and other letters' hex are JSON strings.\n";

int RunDump(const Arguments& arguments) {
    const ParsedOptions parsed = ParseOptions(arguments, {{"--json", false}});
    if (!parsed.error.empty()) return UsageError(kDumpHelp, parsed.error);
    if (!parsed.operands.empty()) return UsageError(kDumpHelp, "dump takes no operands");
    const auto area = AttachOrComplain();
    if (area == nullptr) return kExitNoArea;
    const auto records = area->ReadAll();
    if (!parsed.Has("--json")) {
        for (const auto& record : records) std::printf("%s\n", DumpLine(record).c_str());
        return kExitOk;
    }
    if (records.empty()) {
        std::printf("[]\n");
        return kExitOk;
    }
    std::printf("[\n");
    for (std::size_t i = 0; i < records.size(); ++i)
        std::printf("  %s%s\n", JsonObject(records[i]).c_str(), i + 1 < records.size() ? "," : "");
    std::printf("]\n");
    return kExitOk;
}

}  // namespace tolsa::tool
