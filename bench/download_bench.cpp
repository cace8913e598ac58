// Times one download_package call: the production download code, fetching
// URL into OUT_FILE with no window. Prints the outcome, the bytes on disk,
// the seconds and the throughput in MB/s (10^6 bytes), on one line.
//
//   download_bench URL OUT_FILE
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "tests/support/download_to_path.h"
#include "ui/setup_window.h"

namespace {

double seconds_now() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

long long size_of(const std::string& path) {
    const platform::File file(platform::open_file(path, "rb"));
    if (!file || !platform::seek_to_end(file.get())) return -1;
    return platform::tell(file.get());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: download_bench URL OUT_FILE\n");
        return 2;
    }
    SetupWindow window;
    WindowReport report(window);
    std::string message;
    const double start = seconds_now();
    const bool ok = download_package(argv[1], argv[2], report, message);
    const double elapsed = seconds_now() - start;
    const long long bytes = size_of(argv[2]);
    std::printf("%s\tbytes=%lld\tseconds=%.3f\tMB/s=%.1f\n", ok ? "ok" : message.c_str(), bytes,
                elapsed, elapsed > 0 ? static_cast<double>(bytes) / 1e6 / elapsed : 0.0);
    return ok ? 0 : 1;
}
