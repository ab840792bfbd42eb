// Runs the tool's end-to-end tests; exits 77 (skipped) when the tool or the
// agent that holds the area for it was not built.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

std::string LastWord(const char* variable) {
    const char* command = std::getenv(variable);
    std::string last;
    if (command != nullptr) {
        std::istringstream words(command);
        for (std::string word; words >> word;) last = word;
    }
    return last;
}

}  // namespace

int main(int argc, char** argv) {
    for (const char* variable : {"TOLSA_TOOL_COMMAND", "TOLSA_AGENT_COMMAND"}) {
        const std::string program = LastWord(variable);
        struct stat status {};
        if (program.empty() || stat(program.c_str(), &status) != 0) {
            std::printf("no program at '%s' (%s): skipped\n", program.c_str(), variable);
            return 77;
        }
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
