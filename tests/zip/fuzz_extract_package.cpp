// libFuzzer target: arbitrary bytes as the downloaded package, extracted into
// a scratch install folder. Any crash, leak or sanitizer report ends the run;
// so does any file or folder that appears outside the install folder.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

#include "platform/posix/message_pump.h"
#include "tests/support/package_extraction.h"
#include "ui/setup_window.h"

namespace fs = std::filesystem;

namespace {

struct Sandbox {
    fs::path root;
    fs::path outer;
    fs::path install;
    fs::path package;
};

Sandbox& sandbox() {
    static Sandbox instance;
    return instance;
}

// The last byte, when its top bit is set, also presses Cancel at one of the
// first 64 drains, so the cancel paths are fuzzed along with the parsing.
SetupWindow* current_window = nullptr;
int drains = 0;
int cancel_at = 0;

void fail(const std::string& why) {
    std::fprintf(stderr, "fuzz_extract_package: %s\n", why.c_str());
    std::abort();
}

void check_nothing_outside() {
    const Sandbox& box = sandbox();
    const std::string inside = box.install.string() + "/";
    for (const auto& item : fs::recursive_directory_iterator(box.root)) {
        const fs::path& path = item.path();
        if (path == box.outer || path == box.install || path == box.package) continue;
        if (path.string().compare(0, inside.size(), inside) == 0) continue;
        fail("written outside the install folder: " + path.string());
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* given = std::getenv("QM_FUZZ_SANDBOX");
    Sandbox& box = sandbox();
    box.root = given ? fs::path(given)
                     : fs::temp_directory_path() / ("qm-fuzz-" + std::to_string(::getpid()));
    box.outer = box.root / "outer";
    box.install = box.outer / "install";
    box.package = box.root / "package.zip";
    fs::create_directories(box.install);
    platform::set_message_pump([] {
        if (current_window && ++drains == cancel_at) current_window->cancel_requested = true;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Sandbox& box = sandbox();
    std::error_code ignored;
    fs::remove_all(box.install, ignored);
    fs::create_directories(box.install);
    {
        std::ofstream out(box.package, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    SetupWindow window;
    WindowReport report(window);
    current_window = &window;
    drains = 0;
    cancel_at = (size > 0 && (data[size - 1] & 0x80)) ? (data[size - 1] & 0x3F) + 1 : 0;
    std::string message;
    std::vector<InstalledFile> files;
    const bool ok = extract_package(box.package.string(), box.install.string(), report, message,
                                    files);
    current_window = nullptr;
    if (!ok && message.empty()) fail("failure without a message");
    check_nothing_outside();
    return 0;
}
