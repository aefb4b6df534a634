#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

// A program run as a user runs it, in a process of its own, measured by the
// peak_memory program (PEAK_MEMORY_PATH).
namespace bench {

// The peak memory (maximum resident set), time and processor time of a
// run, in MiB and seconds; zero when it failed (unless `refusing`: a run
// that is to end with a refusal).
struct ProcessRun {
    double mebibytes = 0;
    double seconds = 0;
    double processorSeconds = 0;
};

inline ProcessRun RunProcess(const char* program, const std::vector<std::string>& arguments, bool refusing = false) {
    std::string command = "'" PEAK_MEMORY_PATH "' '" + std::string(program) + "'";
    for (const std::string& argument : arguments) {
        command += " '" + argument + "'";  // no quote in the scratch paths
    }
    if (refusing) {
        command += " 2>/dev/null";
    }
    const auto start = std::chrono::steady_clock::now();
    std::FILE* peak = popen(command.c_str(), "r");
    long kibibytes = 0;
    double processor = 0;
    const bool read = peak != nullptr && std::fscanf(peak, "%ld %lf", &kibibytes, &processor) == 2;
    const bool ran = peak != nullptr && (pclose(peak) == 0 || refusing) && read;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return ran ? ProcessRun{static_cast<double>(kibibytes) / 1024.0, elapsed.count(), processor} : ProcessRun{};
}

}  // namespace bench
