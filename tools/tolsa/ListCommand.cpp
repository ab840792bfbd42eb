// tolsa list [PATTERN]

#include <cstdio>

#include "Area.h"
#include "Commands.h"
#include "Glob.h"
#include "Options.h"
#include "ValueFormat.h"

namespace tolsa::tool {

const char* const kListHelp =
    "usage: tolsa list [PATTERN]\n\n"
    "One row per variable, in index order: index, full name, type letter, size\n"
    "and value. PATTERN is a wildcard on the full name ('*', '?', '[a-z]'); quote\n"
    "it so that the shell leaves it alone: tolsa list 'IORSH_*'\n";

int RunList(const Arguments& arguments) {
    const ParsedOptions parsed = ParseOptions(arguments, {});
    if (!parsed.error.empty()) return UsageError(kListHelp, parsed.error);
    if (parsed.operands.size() > 1) return UsageError(kListHelp, "list takes one pattern at most");
    const std::string pattern = parsed.operands.empty() ? "*" : parsed.operands[0];
    const auto area = AttachOrComplain();
    if (area == nullptr) return kExitNoArea;
    std::vector<Record> shown;
    for (const auto& record : area->ReadAll())
        if (GlobMatch(pattern, record.name)) shown.push_back(record);
    for (const auto& row : FormatRows(shown)) std::printf("%s\n", row.c_str());
    return kExitOk;
}

}  // namespace tolsa::tool
