#include "download/download_package.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "download/content_length.h"
#include "download/internet_handle.h"
#include "download/progress_position.h"
#include "paths/disk_space.h"
#include "platform/platform.h"

namespace {

constexpr char user_agent[] = "QuellmarkSetup";
constexpr DWORD block_bytes = 65536;
// How long a connect, a send or one receive may take before the download
// gives up: a host that takes the request and never answers, or a body that
// stops and stays open, would otherwise hold the setup for good.
constexpr DWORD network_timeout_milliseconds = 30000;

// Always a fresh copy from the host, and nothing left in the cache. No other
// flag: redirects are followed and certificate errors are not ignored. An
// https URL adds the secure flag, which InternetOpenUrl would have implied.
constexpr DWORD request_flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
static_assert(request_flags == 0x84000000u, "reload, no cache write, nothing else");

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
                      const std::string& package_url, StepReport& report) {
    report.set_status("Downloading Quellmark...", package_url);
    std::uint64_t received_total = 0;
    DWORD block_size_read = 0;
    report.process_pending_messages();
    if (report.cancel_requested()) return Outcome::cancelled;

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
        report.show_transfer(received_total, content_length);
        if (content_length > 0)
            report.set_progress(
                static_cast<int>(download_progress_position(received_total, content_length)));
        report.process_pending_messages();
        if (report.cancel_requested()) return Outcome::cancelled;
    }
}

// Gives a connect, a send and every receive of the handle the same limit.
void limit_waits(HINTERNET handle) {
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD timeout = network_timeout_milliseconds;
        InternetSetOptionA(handle, option, &timeout, sizeof timeout);
    }
}

struct UrlParts {
    std::string host;
    INTERNET_PORT port = 0;
    std::string object;  // path and query
    bool secure = false;
};

// Splits an http or https URL; false for anything else.
bool split_url(const std::string& url, UrlParts& parts) {
    std::vector<char> host(url.size() + 1), path(url.size() + 1), extra(url.size() + 1);
    URL_COMPONENTSA components = {};
    components.dwStructSize = sizeof components;
    components.lpszHostName = host.data();
    components.dwHostNameLength = static_cast<DWORD>(host.size());
    components.lpszUrlPath = path.data();
    components.dwUrlPathLength = static_cast<DWORD>(path.size());
    components.lpszExtraInfo = extra.data();
    components.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (!InternetCrackUrlA(url.c_str(), 0, 0, &components)) return false;
    if (components.nScheme != INTERNET_SCHEME_HTTP && components.nScheme != INTERNET_SCHEME_HTTPS)
        return false;
    parts.host = host.data();
    parts.port = components.nPort;
    parts.object = std::string(path.data()) + extra.data();
    if (parts.object.empty()) parts.object = "/";
    parts.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
    return !parts.host.empty();
}

// The whole download with every Internet handle owned here, closed in
// reverse opening order on every return. open_package gives the file once the
// host has answered (null when it cannot); it stays its giver's. A known
// length that does not fit the volume of package_path ends it before the file
// is asked for, with space_message set.
//
// The request is opened and sent in separate steps rather than through
// InternetOpenUrl so that its own handle gets the limits before anything is
// sent: some WinInet implementations give a request none of the limits of
// the handles above it.
template <typename OpenPackage>
Outcome fetch(const std::string& package_url, const std::string& package_path,
              OpenPackage open_package, StepReport& report, std::string& space_message) {
    const InternetHandle internet(
        InternetOpenA(user_agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) return Outcome::no_downloader;
    limit_waits(internet.get());
    UrlParts url;
    if (!split_url(package_url, url)) return Outcome::no_url;
    const InternetHandle connection(InternetConnectA(internet.get(), url.host.c_str(), url.port,
                                                     nullptr, nullptr, INTERNET_SERVICE_HTTP, 0,
                                                     0));
    if (!connection) return Outcome::no_url;
    const DWORD flags = request_flags | (url.secure ? INTERNET_FLAG_SECURE : 0);
    const InternetHandle request(HttpOpenRequestA(connection.get(), "GET", url.object.c_str(),
                                                  nullptr, nullptr, nullptr, flags, 0));
    if (!request) return Outcome::no_url;
    limit_waits(request.get());
    if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return Outcome::no_url;
    const std::uint64_t content_length = content_length_of(request.get());
    space_message = disk_space_shortfall("There is not enough free disk space for the download.",
                                         package_path, content_length);
    if (!space_message.empty()) return Outcome::no_space;
    std::FILE* const file = open_package();
    if (!file) return Outcome::no_file;
    return transfer_body(request.get(), file, content_length, package_url, report);
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

// A Cancel pressed while a call was blocked on the network still waits in
// the queue: it wins over the failure that the call ended in.
Outcome cancel_wins(Outcome outcome, StepReport& report) {
    if (outcome == Outcome::cancelled) return outcome;
    report.process_pending_messages();
    return report.cancel_requested() ? Outcome::cancelled : outcome;
}

}  // namespace

bool download_package(const std::string& package_url, const std::string& package_path,
                      StepReport& report, std::string& error_message) {
    platform::File file;
    std::string space_message;
    Outcome outcome = fetch(
        package_url, package_path,
        [&] {
            file.reset(platform::open_file(package_path, "wb"));
            return file.get();
        },
        report, space_message);
    file.reset();
    if (outcome == Outcome::complete) return true;
    if (outcome == Outcome::no_space) {
        error_message = space_message;
        return false;
    }
    outcome = cancel_wins(outcome, report);
    // Only a cancel removes the file, and only once every handle is closed.
    // A failed transfer keeps its partial file for inspection.
    if (outcome == Outcome::cancelled) platform::delete_file(package_path);
    error_message = message_for(outcome);
    return false;
}

bool download_package(const std::string& package_url, const std::string& package_path,
                      std::FILE* package, StepReport& report, std::string& error_message) {
    std::string space_message;
    const Outcome outcome = fetch(
        package_url, package_path, [package] { return package; }, report, space_message);
    if (outcome == Outcome::complete) return true;
    error_message =
        outcome == Outcome::no_space ? space_message : message_for(cancel_wins(outcome, report));
    return false;
}
