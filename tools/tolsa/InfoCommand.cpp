// tolsa info

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "Area.h"
#include "Commands.h"
#include "ValueFormat.h"

#ifndef TOLSA_TOOL_VERSION
#error "TOLSA_TOOL_VERSION comes from the build"
#endif

namespace tolsa::tool {

const char* const kInfoHelp =
    "usage: tolsa info\n\n"
    "What the tool found, without starting anything: its version, the\n"
    "definition files, the shared area \"tolsavariables\" (its size and the\n"
    "number of named records in it) and the log of the last process that\n"
    "started with the library, read as it stands and never truncated.\n"
    "With no area it prints the same, says so on stderr and ends with exit\n"
    "status 3.\n";

namespace {

constexpr const char* kDirectory = "/kestor/";

bool Readable(const std::string& path) { return std::ifstream(path).good(); }

// The log as the last starter left it; opened for reading only.
std::vector<std::string> LogLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

int RunInfo(const Arguments& arguments) {
    if (!arguments.empty()) return UsageError(kInfoHelp, "info takes no arguments");
    const std::string directory = kDirectory;
    const std::string logPath = directory + "tolsa_log.txt";
    std::string why;
    const auto area = AttachedArea::Open(&why);
    std::printf("version:          %s\n", TOLSA_TOOL_VERSION);
    std::printf("directory:        %s\n", kDirectory);
    const char* label = "definition files: ";
    for (const char* file : {"iorsh.mem", "memsh.mem"}) {
        const std::string path = directory + file;
        std::printf("%s%s%s\n", label, path.c_str(), Readable(path) ? "" : " (missing)");
        label = "                  ";
    }
    if (area != nullptr) {
        std::printf("area:             \"%s\", %zu bytes\n", attach::kAreaName, area->Bytes());
        std::printf("records:          %d named, of %zu bytes each\n", static_cast<int>(area->Count()),
                    attach::kRecordBytes);
    } else {
        std::printf("area:             none\n");
    }
    std::printf("log file:         %s\n", logPath.c_str());
    const auto log = LogLines(logPath);
    std::printf("log:%s\n", log.empty() ? " (none)" : "");
    for (const auto& line : log) std::printf("  %s\n", Printable(line).c_str());
    if (area == nullptr) {
        Complain(why);
        return kExitNoArea;
    }
    return kExitOk;
}

}  // namespace tolsa::tool
