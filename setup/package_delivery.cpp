#include "setup/package_delivery.h"

#include <memory>
#include <utility>

#include "download/download_package.h"
#include "download/package_directory.h"
#include "paths/install_locations.h"
#include "zip/central_directory.h"
#include "zip/extract_package.h"
#include "zip/streamed_extraction.h"
#include "zip/utf8_names.h"

namespace {

// Reads the directory from the tail the download holds, then hands the body
// to the extraction behind it, and remembers whether a failure was the
// extraction's.
class DirectoryThenEntries final : public PackageDirectory, public BlockConsumer {
public:
    DirectoryThenEntries(std::FILE* package, InstallFolder& install_folder,
                         std::uint64_t extra_bytes, StepReport& report)
        : package_(package), install_folder_(install_folder), extra_bytes_(extra_bytes),
          report_(report) {}

    Answer read_directory(std::uint64_t package_size, std::uint64_t tail_offset,
                          const std::string& tail, std::uint64_t& need_from,
                          std::string& error_message) override {
        // A directory that cannot be read from the tail is read from the
        // whole package once it is in, and any fault of it reported there.
        HeldPackageBytes bytes(tail_offset, tail);
        std::string unread;
        std::uint64_t directory_offset = 0, entry_count = 0;
        if (!locate_central_directory(bytes, package_size, directory_offset, entry_count, unread))
            return Answer::cannot_follow;
        if (directory_offset < tail_offset) {
            need_from = directory_offset;
            return Answer::need_more;
        }
        std::vector<ZipEntry> entries;
        if (!read_central_directory(bytes, directory_offset, entry_count, entries, unread) ||
            !convert_utf8_names(entries, unread))
            return Answer::cannot_follow;
        // A drive too small is refused before the body is fetched.
        error_message = install_space_shortfall(entries, install_folder_.path, extra_bytes_);
        // Nothing is replaced while the game runs: checked before the body.
        if (error_message.empty()) {
            error_message =
                file_in_use_message(entries, install_folder_, package_, package_file_name);
        }
        if (!error_message.empty()) {
            refused_ = true;
            return Answer::refused;
        }
        extraction_ = std::make_unique<StreamedExtraction>(std::move(entries), install_folder_,
                                                           package_, package_file_name, report_);
        return Answer::ready;
    }
    BlockConsumer* consumer() override { return extraction_ ? this : nullptr; }

    bool take_block(std::uint64_t offset, const char* bytes, std::size_t size,
                    std::string& error_message) override {
        refused_ = !extraction_->take_block(offset, bytes, size, error_message);
        return !refused_;
    }
    bool start_over(std::string& error_message) override {
        refused_ = !extraction_->start_over(error_message);
        return !refused_;
    }

    bool refused() const { return refused_; }
    StreamedExtraction* extraction() { return extraction_.get(); }

private:
    std::FILE* package_;
    InstallFolder& install_folder_;
    std::uint64_t extra_bytes_;
    StepReport& report_;
    std::unique_ptr<StreamedExtraction> extraction_;
    bool refused_ = false;
};

}  // namespace

Delivery deliver_package(const std::string& package_url, const std::string& package_path,
                         std::FILE* package, InstallFolder& install_folder,
                         std::uint64_t extra_bytes, StepReport& report,
                         std::string& error_message, std::vector<InstalledFile>& installed_files,
                         std::size_t& entries_done) {
    entries_done = 0;
    DirectoryThenEntries directory(package, install_folder, extra_bytes, report);
    if (!download_package(package_url, package_path, package, directory, report, error_message)) {
        if (directory.refused()) return Delivery::extraction_failed;
        return error_message == package_unverified_message ? Delivery::unverified
                                                           : Delivery::download_failed;
    }
    StreamedExtraction* extraction = directory.extraction();
    if (!extraction) return Delivery::downloaded;
    const bool finished = extraction->finish();
    installed_files = extraction->installed_files();
    entries_done = extraction->entries_done();
    if (!finished) return Delivery::downloaded;
    report.set_progress(100);
    return Delivery::extracted;
}
