// tolsa set NAME|#INDEX VALUE

#include <string>

#include "Area.h"
#include "Commands.h"
#include "ValueFormat.h"
#include "ValueParse.h"

namespace tolsa::tool {

const char* const kSetHelp =
    "usage: tolsa set NAME|#INDEX VALUE\n\n"
    "Writes VALUE into the variable's value field, parsed for its type letter,\n"
    "by the library's copy rules (as TolsaWriteVar does); nothing else changes:\n"
    "  $        text of at most 63 characters\n"
    "  L        an integer from -2147483648 to 2147483647\n"
    "  B H O    an integer from 0 to 255\n"
    "  M W      an integer from 0 to 65535\n"
    "  D        a floating-point number (1.5, -2e-3, inf, nan)\n"
    "  others   the value's bytes in hex (size 0: only the empty text)\n"
    "Integers may be written in hex after 0x. A value that does not parse or\n"
    "does not fit is refused with exit status 2, an unknown variable with 1;\n"
    "either way nothing is written.\n";

int RunSet(const Arguments& arguments) {
    // No options: every argument is an operand, so "-5" is a value.
    if (arguments.size() != 2) return UsageError(kSetHelp, "set needs a variable and a value");
    const auto area = AttachOrComplain();
    if (area == nullptr) return kExitNoArea;
    const Target target = Resolve(*area, arguments[0]);
    if (!target.found) {
        Complain(target.why);
        return kExitUnknown;
    }
    const Record record = area->Read(target.index);
    const ParsedValue value = ParseValue(record.type, record.size, arguments[1]);
    if (!value.ok) {
        Complain("cannot set " + Printable(record.name) + " (type " + Printable(std::string(1, record.type)) +
                 "): " + value.error);
        return kExitBadValue;
    }
    area->Write(target.index, value.bytes.data());
    return kExitOk;
}

}  // namespace tolsa::tool
