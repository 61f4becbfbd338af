#pragma once

#include <sys/types.h>

#include <cstdlib>
#include <fstream>
#include <string>

// What the process benchmarks need to know of the binary they drive and of its run.
namespace pawnlark::bench {

// The binary named by the environment variable PAWNLARK_BINARY, else the one this build made.
inline std::string pawnlark_binary() {
    const char* path = std::getenv("PAWNLARK_BINARY");
    return path != nullptr ? path : PAWNLARK_BINARY_PATH;
}

// The peak resident set of a running child's own image (VmHWM), in KiB; 0 if unreadable.
// wait4's ru_maxrss cannot serve: Linux folds the spawner's own peak into it at exec.
inline long peak_rss_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmHWM:")) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

}  // namespace pawnlark::bench
