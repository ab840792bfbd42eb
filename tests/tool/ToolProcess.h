#pragma once
// Runs the tolsa tool as a separate process and collects what it prints.
// TOLSA_TOOL_COMMAND names it: the native program, or the wine runner
// followed by tolsa.exe. Output is returned with CR LF folded to LF, so one
// expected text serves both builds.

#include <sys/types.h>

#include <string>
#include <vector>

namespace tolsa::tooltest {

struct ToolResult {
    int status = -1;
    std::string out;
    std::string err;
};

class ToolProcess {
public:
    explicit ToolProcess(const std::vector<std::string>& arguments);
    ~ToolProcess();
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    // The next line of stdout without its end; throws when the tool ends first.
    std::string ReadLine();
    // Sends a signal to the tool (the wine loader, under wine).
    void Signal(int signal);
    // Reads the rest of both streams and waits for the tool to end.
    ToolResult Finish();

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string pending_;  // stdout read but not yet returned
};

ToolResult RunTool(const std::vector<std::string>& arguments);

// The last word of TOLSA_TOOL_COMMAND: the program itself.
std::string ToolProgram();

}  // namespace tolsa::tooltest
