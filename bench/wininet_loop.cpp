// The floor for the setup's download: the plainest WinInet loop there is,
// with the setup's agent, access type and URL flags, reading 64 KiB blocks
// into a file, with no window and nothing else. Prints the bytes, the seconds
// and the throughput in MB/s (10^6 bytes), on one line.
//
//   wininet_loop URL OUT_FILE
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: wininet_loop URL OUT_FILE\n");
        return 2;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    HINTERNET internet = InternetOpenA("QuellmarkSetup", INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                       nullptr, 0);
    HINTERNET request =
        internet ? InternetOpenUrlA(internet, argv[1], nullptr, 0,
                                    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
                 : nullptr;
    std::FILE* out = std::fopen(argv[2], "wb");
    long long total = 0;
    bool ok = request && out;
    std::vector<char> block(65536);
    while (ok) {
        DWORD got = 0;
        if (!InternetReadFile(request, block.data(), static_cast<DWORD>(block.size()), &got)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        ok = std::fwrite(block.data(), 1, got, out) == got;
        total += got;
    }
    if (out && std::fclose(out) != 0) ok = false;
    if (request) InternetCloseHandle(request);
    if (internet) InternetCloseHandle(internet);
    QueryPerformanceCounter(&end);
    const double seconds =
        static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("%s\tbytes=%lld\tseconds=%.3f\tMB/s=%.1f\n", ok ? "ok" : "failed", total, seconds,
                seconds > 0 ? static_cast<double>(total) / 1e6 / seconds : 0.0);
    return ok ? 0 : 1;
}
