// tolsa: see, set, watch, record and replay the variables of the shared area
// from the shell. It does not load the library: it attaches to the area that
// running processes made (tools/attach), so looking disturbs nothing.

#include <cstdio>
#include <string>

#include "Commands.h"

#if defined(_WIN32)
// Patterns reach the program as typed; the C runtime must not expand them.
int _dowildcard = 0;
#endif

namespace {

void PrintHelp(std::FILE* out) {
    std::fputs("usage: tolsa COMMAND [ARGUMENTS]\n\n"
               "Shows and changes the variables that processes share through the tolsa\n"
               "library (declared in /kestor/iorsh.mem and /kestor/memsh.mem).\n\ncommands:\n",
               out);
    for (const auto& command : tolsa::tool::Commands()) std::fprintf(out, "  %-6s %s\n", command.name, command.summary);
    std::fputs("\n'tolsa COMMAND --help' tells more. Exit status: 0 done, 1 unknown name,\n"
               "index or column, 2 a value that does not parse or fit, a malformed file or a\n"
               "wrong command line, 3 no process has the variables mapped, 4 a file that\n"
               "cannot be read or written.\n",
               out);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tolsa::tool;
    if (argc < 2) {
        PrintHelp(stderr);
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintHelp(stdout);
        return kExitOk;
    }
    for (const auto& command : Commands()) {
        if (name != command.name) continue;
        const Arguments arguments(argv + 2, argv + argc);
        if (WantsHelp(arguments)) {
            std::fputs(command.help, stdout);
            return kExitOk;
        }
        return command.run(arguments);
    }
    Complain("unknown command '" + name + "'");
    PrintHelp(stderr);
    return kExitUsage;
}
