#include "download/download_package.h"

#include <cstdint>
#include <memory>

#include "download/content_length.h"
#include "download/internet_handle.h"
#include "download/progress_position.h"
#include "paths/disk_space.h"
#include "platform/platform.h"

namespace {

constexpr char user_agent[] = "QuellmarkSetup";
constexpr DWORD block_bytes = 65536;

// Always a fresh copy from the host, and nothing left in the cache. No other
// flag: redirects are followed and certificate errors are not ignored.
constexpr DWORD open_url_flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
static_assert(open_url_flags == 0x84000000u, "reload, no cache write, nothing else");

enum class Outcome {
    complete,
    no_downloader,
    no_url,
    no_file,
    no_space,
    read_failed,
    write_failed,
    cancelled,
};

// The Content-Length header; 0 when the response has none or it is not a
// plain number. Read as text and parsed here: a Zip64 package may be larger
// than 4 GiB, and a length cut to 32 bits would let a body cut short pass as
// complete.
std::uint64_t content_length_of(HINTERNET request) {
    char text[32] = {};
    DWORD size = sizeof text;
    std::uint64_t content_length = 0;
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return 0;
    text[sizeof text - 1] = '\0';
    return parse_content_length(text, content_length) ? content_length : 0;
}

// The transfer: the block loop over an open request and an open file. Keeps
// the window alive between blocks and stops at the first block boundary after
// a cancel. Leaves closing and deleting to its callers.
Outcome transfer_body(HINTERNET request, std::FILE* file, std::uint64_t content_length,
                      const std::string& package_url, SetupWindow& window) {
    window.set_status("Downloading Quellmark...", package_url);
    std::uint64_t received_total = 0;
    DWORD block_size_read = 0;
    window.process_pending_messages();
    if (window.cancel_requested) return Outcome::cancelled;

    const std::unique_ptr<char[]> block(new char[block_bytes]);
    for (;;) {
        block_size_read = 0;
        if (!InternetReadFile(request, block.get(), block_bytes, &block_size_read))
            return Outcome::read_failed;
        // WinInet reports a connection that drops mid-body as the end of the
        // body. A body shorter than its announced length is a failed transfer,
        // not a complete package.
        if (block_size_read == 0) {
            if (received_total < content_length) return Outcome::read_failed;
            // The last bytes may still sit in the stream's buffer; a disk that
            // fills up now must not pass for a complete package.
            return std::fflush(file) == 0 ? Outcome::complete : Outcome::write_failed;
        }
        if (std::fwrite(block.get(), 1, block_size_read, file) < block_size_read)
            return Outcome::write_failed;
        received_total += block_size_read;
        if (content_length > 0)
            window.set_progress(
                static_cast<int>(download_progress_position(received_total, content_length)));
        window.process_pending_messages();
        if (window.cancel_requested) return Outcome::cancelled;
    }
}

// The whole download with every handle owned here. The owners are declared in
// opening order, so every return closes the file, then the URL handle, then
// the Internet handle. A known length that does not fit the temporary
// folder's volume ends it before the file is created, with space_message set.
Outcome fetch(const std::string& package_url, const std::string& package_path,
              SetupWindow& window, std::string& space_message) {
    const InternetHandle internet(
        InternetOpenA(user_agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) return Outcome::no_downloader;
    const InternetHandle request(
        InternetOpenUrlA(internet.get(), package_url.c_str(), nullptr, 0, open_url_flags, 0));
    if (!request) return Outcome::no_url;
    const std::uint64_t content_length = content_length_of(request.get());
    space_message = disk_space_shortfall("There is not enough free disk space for the download.",
                                         package_path, content_length);
    if (!space_message.empty()) return Outcome::no_space;
    const platform::File file(platform::open_file(package_path, "wb"));
    if (!file) return Outcome::no_file;
    return transfer_body(request.get(), file.get(), content_length, package_url, window);
}

const char* message_for(Outcome outcome) {
    switch (outcome) {
        case Outcome::no_downloader: return "Could not initialize the downloader.";
        case Outcome::no_url: return "Could not open the download URL.";
        case Outcome::no_file: return "Could not create the temporary download file.";
        case Outcome::no_space: break;
        case Outcome::read_failed: return "The download failed.";
        case Outcome::write_failed: return "Could not write the downloaded data.";
        case Outcome::cancelled: return cancelled_message;
        case Outcome::complete: break;
    }
    return "";
}

}  // namespace

bool download_package(const std::string& package_url, const std::string& package_path,
                      SetupWindow& window, std::string& error_message) {
    std::string space_message;
    const Outcome outcome = fetch(package_url, package_path, window, space_message);
    if (outcome == Outcome::complete) return true;
    if (outcome == Outcome::no_space) {
        error_message = space_message;
        return false;
    }
    // Only a cancel removes the file, and only once every handle is closed.
    // A failed transfer keeps its partial file for inspection.
    if (outcome == Outcome::cancelled) platform::delete_file(package_path);
    error_message = message_for(outcome);
    return false;
}
