#pragma once
// A package file and an install folder two levels below a scratch folder, so
// a test can see anything an extraction writes outside the install folder.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"
#include "ui/setup_window.h"
#include "zip/installed_file.h"

namespace zip_test {

struct Outcome {
    bool ok = false;
    std::string message;
    std::vector<InstalledFile> files;
};

class ExtractionSandbox {
public:
    ExtractionSandbox();

    const std::string& package() const { return package_; }
    const std::string& install() const { return install_; }
    // A file or folder inside the install folder, by backslash name.
    std::string installed(const std::string& name) const { return scratch_.at("outer\\install\\" + name); }

    Outcome extract(const std::string& package_bytes);
    Outcome extract(const std::string& package_bytes, SetupWindow& window);

    // Every path below the scratch folder that is neither the package nor
    // inside the install folder (the install folder's own parents excluded).
    std::vector<std::string> strays() const;

private:
    test_support::ScratchFolder scratch_;
    std::string package_;
    std::string install_;
};

#ifndef _WIN32
// Sets cancel_requested on the window at the given drain of the message queue
// (counting from 1) for as long as it lives. Host builds only: there the
// queue drain is a hook the test owns.
class CancelAtDrain {
public:
    CancelAtDrain(SetupWindow& window, int drain);
    ~CancelAtDrain();
    int drains() const { return *count_; }

private:
    std::shared_ptr<int> count_;
};
#endif

}  // namespace zip_test
