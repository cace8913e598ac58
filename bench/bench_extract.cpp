// Benchmark driver (not a test): extracts one package with extract_package
// and prints the figures bench/bench-extract.sh compares with unzip:
// files, output bytes, wall seconds, and the process's peak resident memory
// before and after the extraction.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/package_extraction.h"
#include "ui/setup_window.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#endif

namespace {

// Peak resident memory of this process so far, in KiB.
std::uint64_t peak_resident_kib() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.PeakWorkingSetSize / 1024;
#else
    // VmHWM, unlike getrusage, leaves out what a launcher held before exec.
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    unsigned long long kib = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmHWM: %llu kB", &kib) == 1) break;
    }
    std::fclose(status);
    return kib;
#endif
}

std::uint64_t output_bytes(const std::string& install, const std::vector<InstalledFile>& files) {
    std::uint64_t total = 0;
    for (const InstalledFile& file : files) {
        platform::File in(platform::open_file(install + "\\" + file, "rb"));
        if (in && platform::seek_to_end(in.get())) total += platform::tell(in.get());
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_extract PACKAGE INSTALL_FOLDER\n");
        return 2;
    }
    const std::string package = argv[1];
    const std::string install = argv[2];
    SetupWindow window;
    WindowReport report(window);
    std::string message;
    std::vector<InstalledFile> files;
    const std::uint64_t peak_before = peak_resident_kib();
    const auto start = std::chrono::steady_clock::now();
    const bool ok = extract_package(package, install, report, message, files);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::uint64_t peak_after = peak_resident_kib();
    if (!ok) {
        std::fprintf(stderr, "extraction failed: %s\n", message.c_str());
        return 1;
    }
    const std::uint64_t bytes = output_bytes(install, files);
    std::printf("files=%zu bytes=%llu seconds=%.3f mb_per_s=%.1f peak_before_kib=%llu "
                "peak_after_kib=%llu\n",
                files.size(), static_cast<unsigned long long>(bytes), seconds,
                bytes / 1e6 / seconds, static_cast<unsigned long long>(peak_before),
                static_cast<unsigned long long>(peak_after));
    return 0;
}
