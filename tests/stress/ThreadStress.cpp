// Many threads of one process search the published index and call the
// by-name and by-index functions at once, through the library's own code
// (linked in, not loaded), against a private area and directory. Built
// plainly it is a quick test; scripts/check.d/10-sanitizers.sh builds it with
// ThreadSanitizer, where the only races allowed are the value copies
// (tests/tsan.supp).
//
// Usage: tolsa_thread_stress [SECONDS [THREADS]]

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "store/Startup.h"
#include "tolsa.h"

bool RunReliabilityCommand(const std::vector<std::string>& tokens, std::string& answer);

namespace {

std::vector<unsigned char> area;

tolsa::platform::MappedArea OpenArea(const char*, uint32_t size) {
    area.assign(size, 0);
    return {area.data(), size};
}

void WriteFile(const std::string& path, const std::string& content) { std::ofstream(path, std::ios::binary) << content; }

}  // namespace

int main(int argc, char** argv) {
    const std::string seconds = argc > 1 ? argv[1] : "1";
    const std::string threads = argc > 2 ? argv[2] : "8";

    std::string directory = (std::filesystem::temp_directory_path() / "tolsa-threads-XXXXXX").string();
    if (mkdtemp(directory.data()) == nullptr) return 2;
    directory += "/";
    // Enough names that the index has grown several times; every letter.
    const char letters[] = "$BHOMWLDX";
    std::string iorsh, memsh;
    for (int i = 0; i < 300; ++i) iorsh += "V" + std::to_string(i) + "=" + letters[i % 9] + "\n";
    for (int i = 0; i < 100; ++i) memsh += "M" + std::to_string(i) + "=" + letters[(i + 4) % 9] + "\n";
    WriteFile(directory + "iorsh.mem", iorsh);
    WriteFile(directory + "memsh.mem", memsh);

    tolsa::StartupEnvironment environment;
    environment.directory = directory.c_str();
    environment.areaName = "threads";
    environment.openArea = OpenArea;
    tolsa::Store store;
    if (!tolsa::RunStartup(environment, tolsa::ProcessLog(), store)) return 2;
    tolsa::PublishStore(store);
    if (TolsaGetNumberOfItems() != 400) return 2;

    std::string answer;
    RunReliabilityCommand({"stress", seconds, "1", threads, "nopointers"}, answer);
    if (answer != "started") return 2;
    RunReliabilityCommand({"stress-result"}, answer);
    std::printf("%s threads, %s s: %s\n", threads.c_str(), seconds.c_str(), answer.c_str());
    std::filesystem::remove_all(directory);
    return answer.find(" bad=0") != std::string::npos ? 0 : 1;
}
