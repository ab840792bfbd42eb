// tolsa get [--raw] NAME|#INDEX...

#include <cstdio>

#include "Area.h"
#include "Commands.h"
#include "Options.h"
#include "ValueFormat.h"

namespace tolsa::tool {

const char* const kGetHelp =
    "usage: tolsa get [--raw] NAME|#INDEX...\n\n"
    "The value of each variable, one line each, decoded by its type letter;\n"
    "with --raw the value's bytes in hex. A variable is named by its full name\n"
    "(IORSH_Counter) or by its index (#0). When one is unknown nothing is printed\n"
    "and the exit status is 1.\n";

int RunGet(const Arguments& arguments) {
    const ParsedOptions parsed = ParseOptions(arguments, {{"--raw", false}});
    if (!parsed.error.empty()) return UsageError(kGetHelp, parsed.error);
    if (parsed.operands.empty()) return UsageError(kGetHelp, "get needs a variable");
    const auto area = AttachOrComplain();
    if (area == nullptr) return kExitNoArea;
    std::vector<int32_t> indices;
    bool unknown = false;
    for (const auto& reference : parsed.operands) {
        const Target target = Resolve(*area, reference);
        if (!target.found) {
            Complain(target.why);
            unknown = true;
        }
        indices.push_back(target.index);
    }
    if (unknown) return kExitUnknown;
    const bool raw = parsed.Has("--raw");
    for (const int32_t index : indices) {
        const Record record = area->Read(index);
        std::printf("%s\n", raw ? RawHex(record).c_str() : Printable(DecodeValue(record)).c_str());
    }
    return kExitOk;
}

}  // namespace tolsa::tool
