#pragma once
// The subcommands of `tolsa`. Each takes the arguments after its own name
// and returns the exit status: 0 done, 1 an unknown name or index, 2 a value
// that does not parse or fit, or a command line that is wrong, 3 no area to
// attach to (or the area was left by every other process), 4 a file that
// cannot be read or written.

#include <string>
#include <string_view>
#include <vector>

namespace tolsa::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUnknown = 1;
inline constexpr int kExitBadValue = 2;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoArea = 3;
inline constexpr int kExitFile = 4;  // a file that cannot be read or written

using Arguments = std::vector<std::string>;

struct Command {
    const char* name;
    const char* summary;  // one line for `tolsa --help`
    const char* help;     // the text of `tolsa NAME --help`
    int (*run)(const Arguments& arguments);
};

const std::vector<Command>& Commands();

int RunList(const Arguments& arguments);
int RunGet(const Arguments& arguments);
int RunSet(const Arguments& arguments);
int RunWatch(const Arguments& arguments);
int RunDump(const Arguments& arguments);
int RunInfo(const Arguments& arguments);
int RunRecord(const Arguments& arguments);
int RunReplay(const Arguments& arguments);
int RunServe(const Arguments& arguments);  // tools/serve

extern const char* const kListHelp;
extern const char* const kGetHelp;
extern const char* const kSetHelp;
extern const char* const kWatchHelp;
extern const char* const kDumpHelp;
extern const char* const kInfoHelp;
extern const char* const kRecordHelp;
extern const char* const kReplayHelp;
extern const char* const kServeHelp;

// Shared by the subcommands: "--help" or "-h" among the arguments.
bool WantsHelp(const Arguments& arguments);
// Prints "tolsa: PROBLEM" and the help, both to stderr; returns kExitUsage.
int UsageError(const char* help, std::string_view problem);
// Prints "tolsa: MESSAGE" to stderr.
void Complain(std::string_view message);

}  // namespace tolsa::tool
