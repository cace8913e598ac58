#pragma once
// A package file and an install folder two levels below a scratch folder, so
// a test can see anything an extraction writes outside the install folder.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"
#include "ui/setup_window.h"
#include "report/installed_file.h"

namespace zip_test {

struct Outcome {
    bool ok = false;
    std::string message;
    std::vector<InstalledFile> files;
    // Behind a download: every entry was written as its bytes arrived (no
    // fallback to the package file), and how many bytes were handed over
    // before the download ended or was stopped.
    bool streamed = false;
    std::uint64_t handed_over = 0;
};

// True when this test program runs its extractions behind a download (the
// environment sets QM_STREAMED_EXTRACTION): each one is then fed the package
// in odd-sized blocks as the download would, falling back to the package
// file as the setup does, and must give what the extraction from the file
// gives.
bool streamed_extraction();

// Extracts bytes, the package at package_path, into install_folder the way
// this test program runs extractions. older, when given, is a package the
// host served first and replaced after older_cut of its bytes.
Outcome run_extraction(const std::string& package_path, const std::string& install_folder,
                       const std::string& bytes, SetupWindow& window,
                       const std::string* older = nullptr, std::size_t older_cut = 0);

class ExtractionSandbox {
public:
    ExtractionSandbox();

    const std::string& package() const { return package_; }
    const std::string& install() const { return install_; }
    // A file or folder inside the install folder, by backslash name.
    std::string installed(const std::string& name) const { return scratch_.at("outer\\install\\" + name); }

    Outcome extract(const std::string& package_bytes);
    Outcome extract(const std::string& package_bytes, SetupWindow& window);
    // Behind a download whichever way the program runs; see run_extraction.
    Outcome extract_streamed(const std::string& package_bytes, const std::string* older = nullptr,
                             std::size_t older_cut = 0, SetupWindow* window = nullptr);

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
