// Loads a server list the way start-up does and prints how long it took and
// how much memory the process needed at its peak.
//   serverlist_bench FOLDER   (FOLDER holds ntp_servers.txt, ends in '/')
#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "serverlist/ServerList.h"

namespace {

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER/\n", argv[0]);
        return 2;
    }
    const long before = PeakKilobytes();
    ServerTable table;
    const auto start = std::chrono::steady_clock::now();
    LoadServerList(argv[1], table);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("entries %zu\nseconds %.4f\npeak_kb %ld\nbaseline_kb %ld\n", table.size(), took.count(),
                PeakKilobytes(), before);
    return table.empty() ? 1 : 0;
}
