#include "tests/zip/extraction_sandbox.h"

#include <filesystem>
#include <memory>

#include "zip/extract_package.h"

#ifndef _WIN32
#include "platform/posix/message_pump.h"
#endif

namespace fs = std::filesystem;

namespace zip_test {

ExtractionSandbox::ExtractionSandbox()
    : package_(scratch_.at("pkg.zip")), install_(scratch_.at("outer\\install")) {
    test_support::make_folders(install_);
}

Outcome ExtractionSandbox::extract(const std::string& package_bytes) {
    SetupWindow window;
    return extract(package_bytes, window);
}

Outcome ExtractionSandbox::extract(const std::string& package_bytes, SetupWindow& window) {
    test_support::write_file(package_, package_bytes);
    Outcome outcome;
    WindowReport report(window);
    outcome.ok = extract_package(package_, install_, report, outcome.message, outcome.files);
    return outcome;
}

std::vector<std::string> ExtractionSandbox::strays() const {
    const fs::path root(test_support::native(scratch_.path()));
    const fs::path outer = root / "outer";
    const fs::path install(test_support::native(install_));
    std::vector<std::string> found;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        const fs::path path = item.path();
        if (path == outer || path == install || path == fs::path(test_support::native(package_))) {
            continue;
        }
        const std::string text = path.string();
        const std::string inside = install.string() + static_cast<char>(fs::path::preferred_separator);
        if (text.compare(0, inside.size(), inside) == 0) continue;
        found.push_back(text);
    }
    return found;
}

#ifndef _WIN32
CancelAtDrain::CancelAtDrain(SetupWindow& window, int drain) : count_(std::make_shared<int>(0)) {
    std::shared_ptr<int> count = count_;
    platform::set_message_pump([count, &window, drain] {
        if (++*count == drain) window.cancel_requested = true;
    });
}
CancelAtDrain::~CancelAtDrain() { platform::set_message_pump(nullptr); }
#endif

}  // namespace zip_test
