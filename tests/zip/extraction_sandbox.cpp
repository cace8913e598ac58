#include "tests/zip/extraction_sandbox.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "tests/support/package_extraction.h"
#include "zip/extract_package.h"
#include "zip/streamed_extraction.h"

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
    return run_extraction(package_, install_, package_bytes, window);
}

Outcome ExtractionSandbox::extract_streamed(const std::string& package_bytes,
                                            const std::string* older, std::size_t older_cut,
                                            SetupWindow* window) {
    SetupWindow own_window;
    return run_extraction(package_, install_, package_bytes, window ? *window : own_window,
                          older ? older : &package_bytes, older ? older_cut : 0);
}

bool streamed_extraction() { return std::getenv("QM_STREAMED_EXTRACTION") != nullptr; }

namespace {

// Hands bytes[from, to) to the extraction in blocks of uneven sizes, so that
// headers, names and data are cut everywhere, writing each block to the
// package file first and serving the window before it, as the download does.
bool feed(StreamedExtraction& stream, std::FILE* file, const std::string& bytes,
          std::size_t from, std::size_t to, SetupWindow& window, Outcome& outcome) {
    static const std::size_t sizes[] = {13, 65536 + 17, 4099, 1, 30011};
    WindowReport report(window);
    for (std::size_t at = from, turn = 0; at < to; ++turn) {
        const std::size_t size = std::min(sizes[turn % 5], to - at);
        std::fwrite(bytes.data() + at, 1, size, file);
        std::fflush(file);
        report.process_pending_messages();
        at += size;
        outcome.handed_over = at;
        if (!stream.take_block(at - size, bytes.data() + at - size, size, outcome.message)) {
            return false;
        }
    }
    return true;
}

}  // namespace

Outcome run_extraction(const std::string& package_path, const std::string& install_folder,
                       const std::string& bytes, SetupWindow& window, const std::string* older,
                       std::size_t older_cut) {
    Outcome outcome;
    WindowReport report(window);
    if (!older && !streamed_extraction()) {
        test_support::write_file(package_path, bytes);
        outcome.ok = extract_package(package_path, install_folder, report, outcome.message,
                                     outcome.files);
        return outcome;
    }
    if (!older) older = &bytes;
    // The directory comes first, from the package's tail.
    test_support::write_file(package_path, *older);
    test_support::FolderByPath by_path(install_folder);
    InstallFolder& folder = by_path.folder;
    std::vector<ZipEntry> entries;
    {
        platform::File package(platform::open_file(package_path, "rb"));
        if (!read_checked_directory(package.get(), older->size(), by_path, 0, entries,
                                    outcome.message)) {
            return outcome;
        }
    }
    platform::File file(platform::open_file(package_path, "wb"));
    const std::string name = package_path.substr(package_path.find_last_of("\\/") + 1);
    StreamedExtraction stream(entries, folder, file.get(), name, report);
    if (older != &bytes) {
        if (!feed(stream, file.get(), *older, 0, older_cut, window, outcome)) return outcome;
        file.reset(platform::open_file(package_path, "wb"));
        stream.start_over(outcome.message);
    }
    if (!feed(stream, file.get(), bytes, 0, bytes.size(), window, outcome)) {
        outcome.files = stream.installed_files();
        return outcome;
    }
    file.reset();
    const bool finished = stream.finish();
    outcome.files = stream.installed_files();
    if (finished) {
        outcome.ok = outcome.streamed = true;
        return outcome;
    }
    // As the setup goes on: from the first entry not finished behind the
    // download.
    file.reset(platform::open_file(package_path, "rb"));
    outcome.ok = extract_package(file.get(), folder, report, outcome.message, outcome.files, 0,
                                 stream.entries_done());
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
