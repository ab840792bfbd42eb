// tolsa info

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "Area.h"
#include "Commands.h"
#include "Options.h"
#include "tolsa.h"
#include "tolsa_version.h"

namespace tolsa::tool {

const char* const kInfoHelp =
    "usage: tolsa info\n\n"
    "What this process found at start-up: the library's version, its directory\n"
    "and definition files, the number of records and their size, the shared\n"
    "area's address and the log file. When no area could be published it says\n"
    "why, and quotes the log that start-up wrote.\n";

namespace {

constexpr const char* kDirectory = "/kestor/";

bool Readable(const std::string& path) { return std::ifstream(path).good(); }

std::vector<std::string> LogLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// The plain reason start-up gave, read from the lines it logged.
std::string WhyNoArea(const std::vector<std::string>& log, const std::string& logPath) {
    if (log.empty()) return "start-up could not write its log " + logPath + " (is there a directory " + kDirectory + "?)";
    for (const auto& line : log) {
        for (const char* file : {"iorsh", "memsh"}) {
            const std::string failed = std::string("failed to open ") + file + " file at ";
            if (StartsWith(line, failed)) return "the definition file " + line.substr(failed.size()) + " could not be opened";
        }
        if (line == "will allocate 0 bytes (328 per item)") return "neither definition file declares a variable";
        if (line == "shared memory is 0000000000000000") return "the shared area \"tolsavariables\" could not be created or mapped";
    }
    return "start-up did not finish; the log does not say why";
}

}  // namespace

int RunInfo(const Arguments& arguments) {
    if (!arguments.empty()) return UsageError(kInfoHelp, "info takes no arguments");
    const std::string directory = kDirectory;
    const std::string logPath = directory + "tolsa_log.txt";
    std::printf("version:          %s\n", TOLSA_VERSION);
    std::printf("directory:        %s\n", kDirectory);
    const char* label = "definition files: ";
    for (const char* file : {"iorsh.mem", "memsh.mem"}) {
        const std::string path = directory + file;
        std::printf("%s%s%s\n", label, path.c_str(), Readable(path) ? "" : " (missing)");
        label = "                  ";
    }
    const bool published = AreaPublished();
    std::printf("records:          %d\n", published ? static_cast<int>(TolsaGetNumberOfItems()) : 0);
    std::printf("item size:        %d bytes\n", static_cast<int>(TolsaGetItemSize()));
    if (published)
        std::printf("area:             %s (\"tolsavariables\")\n", AreaAddress().c_str());
    else
        std::printf("area:             none published\n");
    std::printf("log file:         %s\n", logPath.c_str());
    if (!published) {
        const auto log = LogLines(logPath);
        std::printf("why:              %s\n", WhyNoArea(log, logPath).c_str());
        std::printf("log:\n");
        for (const auto& line : log) std::printf("  %s\n", line.c_str());
    }
    return kExitOk;
}

}  // namespace tolsa::tool
