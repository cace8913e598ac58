#include "download/download_package.h"

#include <windows.h>
#include <io.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "download/async_request.h"
#include "download/content_length.h"
#include "download/internet_handle.h"
#include "download/package_check.h"
#include "download/package_directory.h"
#include "download/package_statement.h"
#include "download/progress_position.h"
#include "download/signature_check.h"
#include "paths/disk_space.h"
#include "platform/platform.h"
#include "report/phase_clock.h"

namespace {

using async_internet::Request;
using async_internet::Result;

constexpr char user_agent[] = "QuellmarkSetup";
// How long a connect, a send or one receive may take before the download
// gives up: a host that takes the request and never answers, or a body that
// stops and stays open, would otherwise hold the setup for good.
constexpr DWORD network_timeout_milliseconds = 30000;
// A body that breaks off is asked for again from where it stopped, this many
// times in a row, the first after one second and each later one after twice
// the wait before it. A reconnect that brings new bytes starts the count anew.
constexpr int reconnects_in_a_row = 5;
constexpr DWORD first_reconnect_wait_milliseconds = 1000;
// The first request asks for this much of the package's end: the end record
// with the longest comment, the Zip64 locator and end record, and most
// directories. A larger directory is asked for once more.
constexpr std::uint64_t tail_bytes = 68 * 1024;
// The tail and the rest of the directory are held in memory until the
// directory is read; a directory larger than this (the host states its size)
// is read from the package file after the download instead.
constexpr std::uint64_t directory_bytes_limit = 32 * 1024 * 1024;
// Between blocks the window is served at most this often: a screen's frame.
constexpr ULONGLONG drain_interval_milliseconds = 16;

// Always a fresh copy from the host, and nothing left in the cache. No other
// flag: redirects are followed and certificate errors are not ignored. An
// https URL adds the secure flag, which InternetOpenUrl would have implied.
constexpr DWORD request_flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
static_assert(request_flags == 0x84000000u, "reload, no cache write, nothing else");

enum class Outcome {
    keep_going,  // this step is done: the download goes on
    downloaded,  // the whole package is in the file
    no_downloader,
    no_url,
    no_file,
    no_space,
    read_failed,
    write_failed,
    cancelled,
    refused,     // the consumer stopped the download; its message stands
    unverified,  // the publisher's signature or a chunk it covers does not hold
};

// One header's text; empty when the response has none.
std::string header_text(HINTERNET request, DWORD query) {
    char text[256] = {};
    DWORD size = sizeof text - 1;
    if (!HttpQueryInfoA(request, query, text, &size, nullptr)) return {};
    return std::string(text, std::strlen(text));
}

// The Content-Length header; 0 when the response has none or it is not a
// plain number. Read as text and parsed here: a Zip64 package may be larger
// than 4 GiB, and a length cut to 32 bits would let a body cut short pass as
// complete.
std::uint64_t content_length_of(HINTERNET request) {
    std::uint64_t content_length = 0;
    return parse_content_length(header_text(request, HTTP_QUERY_CONTENT_LENGTH).c_str(),
                                content_length)
               ? content_length
               : 0;
}

DWORD status_code_of(HINTERNET request) {
    DWORD code = 0;
    DWORD size = sizeof code;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size,
                        nullptr))
        return 0;
    return code;
}

// "bytes FIRST-LAST/SIZE" of a 206 answer; false for anything else.
bool parse_content_range(const std::string& text, std::uint64_t& first, std::uint64_t& last,
                         std::uint64_t& size) {
    const std::string unit = "bytes ";
    const std::size_t dash = text.find('-'), slash = text.find('/');
    if (text.rfind(unit, 0) != 0 || dash == std::string::npos || slash == std::string::npos ||
        dash > slash)
        return false;
    return parse_content_length(text.substr(unit.size(), dash - unit.size()).c_str(), first) &&
           parse_content_length(text.substr(dash + 1, slash - dash - 1).c_str(), last) &&
           parse_content_length(text.substr(slash + 1).c_str(), size) && first <= last &&
           last < size;
}

// The range and the package size of a 206 answer; false for any other.
bool answered_range(HINTERNET request, std::uint64_t& first, std::uint64_t& last,
                    std::uint64_t& size) {
    return status_code_of(request) == 206 &&
           parse_content_range(header_text(request, HTTP_QUERY_CONTENT_RANGE), first, last, size);
}

struct UrlParts {
    std::string host;
    INTERNET_PORT port = 0;
    std::string object;            // path and query
    std::string signature_object;  // the path with ".sig", and the query
    std::string file_name;         // the path's last part
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
    const std::string object_path = path.data()[0] ? path.data() : "/";
    parts.object = object_path + extra.data();
    parts.signature_object = object_path + ".sig" + extra.data();
    parts.file_name = object_path.substr(object_path.rfind('/') + 1);
    parts.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
    return !parts.host.empty();
}

// The package file and where it stands: the bytes of the package received
// so far follow start, the file's position when the download began.
struct PackageFile {
    std::FILE* file = nullptr;
    std::uint64_t start = 0;
    std::uint64_t received = 0;
    std::uint64_t content_length = 0;  // 0: unknown
    PackageCheck* check = nullptr;     // what the publisher signed: received bytes go here
};

// What a body that broke off needs to be asked for again: the host answers
// ranges and named this version of the package.
struct Resumption {
    bool possible = false;
    std::string validator;  // the first answer's ETag, else its Last-Modified
};

// What names this version of the package: its ETag, else its Last-Modified.
std::string validator_of(HINTERNET request) {
    const std::string etag = header_text(request, HTTP_QUERY_ETAG);
    return etag.empty() ? header_text(request, HTTP_QUERY_LAST_MODIFIED) : etag;
}

Resumption resumption_of(HINTERNET request, std::uint64_t content_length) {
    Resumption resumption;
    resumption.validator = validator_of(request);
    resumption.possible = content_length > 0 && !resumption.validator.empty() &&
                          (header_text(request, HTTP_QUERY_ACCEPT_RANGES) == "bytes" ||
                           status_code_of(request) == 206);
    return resumption;
}

// keep_going: the block is taken, read the next. whole: the body ended, and
// all of it is there.
enum class Body { keep_going, whole, broke, write_failed, cancelled, refused, unverified };

// The block loop over an open request: take is given each block and end
// the body's end; take answers keep_going, or how the body ends. The
// window is served between blocks, and a cancel stops the loop at the next
// block boundary. A read that fails or waits past the limit breaks the body
// off; it takes the bytes it had gathered with it, so the rest is asked for
// from the end of the last whole block.
template <typename Take, typename End>
Body read_blocks(Request& request, StepReport& report, Take take, End end) {
    ULONGLONG drained = GetTickCount64();
    for (;;) {
        DWORD size = 0;
        const Result read = request.read(size, report);
        if (read == Result::cancelled) return Body::cancelled;
        if (read == Result::failed) return Body::broke;
        if (size == 0) return end();
        const Body taken = take(request.block(), size);
        if (taken != Body::keep_going) return taken;
        // Each drain is a round trip to the window system even when nothing
        // waits, and on a fast line blocks come thousands a second: the
        // window is served as often as a screen can show it, and a Cancel it
        // takes stops the next block.
        const ULONGLONG now = GetTickCount64();
        if (now - drained >= drain_interval_milliseconds) {
            drained = now;
            report.process_pending_messages();
        }
        if (report.cancel_requested()) return Body::cancelled;
    }
}

// A chunk that matched its statement, to the consumer in blocks, so that a
// Cancel still stops the extraction within one block.
bool hand_on(BlockConsumer& consumer, std::uint64_t offset, const char* bytes, std::size_t size,
             StepReport& report, std::string& refusal) {
    for (std::size_t done = 0; done < size; done += async_internet::block_bytes) {
        if (report.cancel_requested()) return false;
        const std::size_t part =
            std::min<std::size_t>(size - done, async_internet::block_bytes);
        if (!consumer.take_block(offset + done, bytes + done, part, refusal)) return false;
    }
    return true;
}

// The body: each block goes to the file and to the check, and each chunk
// that the check passes goes on to the consumer.
Body transfer_body(Request& request, PackageFile& package, BlockConsumer* consumer,
                   StepReport& report, std::string& refusal) {
    bool flush_failed = false;
    const auto checked = [&](std::uint64_t offset, const char* bytes, std::size_t size) {
        if (!consumer) return true;
        // The consumer may read the file: the chunk is there first.
        if (PhaseTimer writing(Phase::writing); std::fflush(package.file) != 0) {
            flush_failed = true;
            return false;
        }
        return hand_on(*consumer, offset, bytes, size, report, refusal);
    };
    const auto take = [&](const char* block, DWORD size) {
        if (PhaseTimer writing(Phase::writing); std::fwrite(block, 1, size, package.file) < size)
            return Body::write_failed;
        switch (package.check->add(block, size, checked)) {
            case PackageCheck::Step::taken: break;
            case PackageCheck::Step::mismatch: return Body::unverified;
            case PackageCheck::Step::refused:
                if (flush_failed) return Body::write_failed;
                return report.cancel_requested() ? Body::cancelled : Body::refused;
        }
        const std::uint64_t before = package.received;
        package.received += size;
        report.show_transfer(package.received, package.content_length);
        // The bar takes a step only every many blocks; only a new step is
        // worth its message.
        if (package.content_length > 0) {
            const std::uint32_t position =
                download_progress_position(package.received, package.content_length);
            if (position != download_progress_position(before, package.content_length))
                report.set_progress(static_cast<int>(position));
        }
        return Body::keep_going;
    };
    // WinInet reports a connection that drops mid-body as the end of the
    // body. A body shorter than the package the publisher signed is a failed
    // transfer, not a complete package.
    const auto end = [&] {
        if (!package.check->stream_complete()) return Body::broke;
        // The last bytes may still sit in the stream's buffer; a disk that
        // fills up now must not pass for a complete package.
        return std::fflush(package.file) == 0 ? Body::whole : Body::write_failed;
    };
    return read_blocks(request, report, take, end);
}

// Ends the package file after the bytes received so far: an older package
// leaves nothing behind them.
bool cut_after_received(PackageFile& package) {
    if (std::fflush(package.file) != 0 ||
        !platform::seek_to(package.file, package.start + package.received))
        return false;
    const intptr_t os_handle = _get_osfhandle(_fileno(package.file));
    return os_handle != -1 && SetEndOfFile(reinterpret_cast<HANDLE>(os_handle));
}

// Empties the package file back to where the package starts, for a package
// that the host replaced meanwhile.
bool restart_package(PackageFile& package) {
    package.received = 0;
    package.check->stream_from(0);
    return cut_after_received(package);
}

// Reads the answered range, length bytes, into bytes, ahead of what they
// hold; the package file, the body's own count and the window's bar are not
// touched.
Body read_range(Request& request, std::uint64_t length, std::string& bytes, StepReport& report) {
    std::string range;
    const auto take = [&](const char* block, DWORD size) {
        if (range.size() + size > length) return Body::broke;
        range.append(block, size);
        return Body::keep_going;
    };
    const auto end = [&] {
        if (range.size() < length) return Body::broke;
        bytes.insert(0, range);
        return Body::whole;
    };
    return read_blocks(request, report, take, end);
}

// The session and the connection to the package's host, with the flags of
// every request on it; the host's handle closes before the session's.
struct Connection {
    InternetHandle internet;
    InternetHandle host;
    UrlParts url;
    DWORD flags = request_flags;
};

Outcome open_connection(const std::string& package_url, Connection& connection) {
    connection.internet.reset(
        async_internet::open_session(user_agent, network_timeout_milliseconds));
    if (!connection.internet) return Outcome::no_downloader;
    UrlParts& url = connection.url;
    if (!split_url(package_url, url)) return Outcome::no_url;
    connection.host.reset(InternetConnectA(connection.internet.get(), url.host.c_str(), url.port,
                                           nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection.host) return Outcome::no_url;
    if (url.secure) connection.flags |= INTERNET_FLAG_SECURE;
    return Outcome::keep_going;
}

// Sends a GET of object with headers on request; a host that gives no
// answer is a URL that cannot be opened.
Outcome ask(const Connection& connection, Request& request, const std::string& object,
            const std::string& headers, StepReport& report) {
    const Result sent =
        request.send(connection.host.get(), object, connection.flags, headers, report);
    if (sent == Result::cancelled) return Outcome::cancelled;
    return sent == Result::succeeded ? Outcome::keep_going : Outcome::no_url;
}

// The publisher's statement of the package, fetched from beside it with the
// package's agent, flags and proxy, its signature checked, into check.
Outcome fetch_statement(const Connection& connection, StepReport& report, PackageCheck& check) {
    Request request(network_timeout_milliseconds);
    const Outcome sent = ask(connection, request, connection.url.signature_object, "", report);
    if (sent != Outcome::keep_going) return sent;
    std::string text;
    const auto take = [&](const char* block, DWORD size) {
        if (text.size() + size > signature_file_limit) return Body::unverified;
        text.append(block, size);
        return Body::keep_going;
    };
    const Body body = read_blocks(request, report, take, [] { return Body::whole; });
    if (body == Body::cancelled) return Outcome::cancelled;
    if (body == Body::unverified) return Outcome::unverified;
    if (body != Body::whole) return Outcome::read_failed;
    SignedStatement signed_statement;
    if (!parse_signed_statement(text, signed_statement) ||
        signed_statement.statement.file_name != connection.url.file_name ||
        !publisher_signed(signed_statement.digest, signed_statement.signature))
        return Outcome::unverified;
    check = PackageCheck(std::move(signed_statement.statement));
    return Outcome::keep_going;
}

// A length the host announces is the one the publisher signed.
bool length_is_signed(const PackageFile& package) {
    return package.content_length == 0 || package.content_length == package.check->size();
}

// The tail that the first answer brought, then (when the directory reaches
// further back) the rest of the directory, both held in memory, never written
// ahead of the body into the package file (which would make the system fill
// the gap before them), and the directory read from them. consumer is the
// body's once the directory is ready; it stays null when the directory
// cannot be read from what came, and the body is then fetched whole for the
// extraction from the file. Any outcome but keep_going ends the download.
Outcome take_directory(const Connection& connection, Request& request,
                       std::uint64_t package_size, const std::string& validator,
                       std::uint64_t tail_offset, const PackageCheck& check,
                       PackageDirectory& directory, BlockConsumer*& consumer, StepReport& report,
                       std::string& refusal) {
    std::string tail;
    Body range = read_range(request, package_size - tail_offset, tail, report);
    if (range == Body::cancelled) return Outcome::cancelled;
    if (range != Body::whole) return Outcome::keep_going;
    // Nothing of the tail is read before each of its chunks has matched.
    if (!check.holds(tail_offset, tail.data(), tail.size())) return Outcome::unverified;
    for (int asks = 0; asks < 2; ++asks) {
        std::uint64_t need_from = 0;
        switch (directory.read_directory(package_size, tail_offset, tail, need_from, refusal)) {
            case PackageDirectory::Answer::ready:
                consumer = directory.consumer();
                return Outcome::keep_going;
            case PackageDirectory::Answer::refused: return Outcome::refused;
            case PackageDirectory::Answer::cannot_follow: return Outcome::keep_going;
            case PackageDirectory::Answer::need_more: need_from = check.chunk_start(need_from); break;
        }
        if (asks > 0 || need_from >= tail_offset ||
            package_size - need_from > directory_bytes_limit) {
            return Outcome::keep_going;
        }
        request.close();
        const std::string headers = "Range: bytes=" + std::to_string(need_from) + "-" +
                                    std::to_string(tail_offset - 1) + "\r\nIf-Range: " +
                                    validator + "\r\n";
        const Outcome sent = ask(connection, request, connection.url.object, headers, report);
        if (sent == Outcome::cancelled) return sent;
        std::uint64_t first = 0, last = 0, size = 0;
        if (sent != Outcome::keep_going || !answered_range(request.handle(), first, last, size) ||
            first != need_from || last != tail_offset - 1 || size != package_size)
            return Outcome::keep_going;
        range = read_range(request, tail_offset - need_from, tail, report);
        if (range == Body::cancelled) return Outcome::cancelled;
        if (range != Body::whole) return Outcome::keep_going;
        if (!check.holds(need_from, tail.data(), tail_offset - need_from))
            return Outcome::unverified;
        tail_offset = need_from;
    }
    return Outcome::keep_going;
}

// After the body broke off: waits, asks for the rest, and stands request at
// the first byte still missing (or at byte 0 of a package the host replaced
// meanwhile). Up to reconnects_in_a_row tries; read_failed when none answers.
Outcome reconnect(const Connection& connection, Request& request, PackageFile& package,
                  Resumption& resumption, BlockConsumer* consumer, int& failures,
                  const std::string& package_url, StepReport& report, std::string& refusal) {
    for (; failures < reconnects_in_a_row; ++failures) {
        request.close();
        report.set_status("Connection lost. Reconnecting...", package_url);
        if (async_internet::wait_responsively(nullptr, first_reconnect_wait_milliseconds << failures,
                                              report) == async_internet::Wait::cancelled)
            return Outcome::cancelled;
        const std::string headers = "Range: bytes=" + std::to_string(package.received) +
                                    "-\r\nIf-Range: " + resumption.validator + "\r\n";
        const Outcome sent = ask(connection, request, connection.url.object, headers, report);
        if (sent == Outcome::cancelled) return sent;
        if (sent != Outcome::keep_going) continue;
        const DWORD code = status_code_of(request.handle());
        const std::string expected_range = "bytes " + std::to_string(package.received) + "-";
        if (code == 206 &&
            header_text(request.handle(), HTTP_QUERY_CONTENT_RANGE).rfind(expected_range, 0) == 0) {
            ++failures;  // until the body brings new bytes
            report.set_status("Downloading Quellmark...", package_url);
            return Outcome::keep_going;
        }
        if (code == 200) {
            ++failures;
            // Another package: the old bytes are worth nothing, and the
            // publisher signed it in a statement of its own.
            const Outcome signed_anew = fetch_statement(connection, report, *package.check);
            if (signed_anew != Outcome::keep_going) return signed_anew;
            if (!restart_package(package)) return Outcome::write_failed;
            if (consumer && !consumer->start_over(refusal)) return Outcome::refused;
            package.content_length = content_length_of(request.handle());
            if (!length_is_signed(package)) return Outcome::unverified;
            resumption = resumption_of(request.handle(), package.content_length);
            report.set_status("Downloading Quellmark...", package_url);
            report.show_transfer(0, package.content_length);
            report.set_progress(0);
            return Outcome::keep_going;
        }
    }
    return Outcome::read_failed;
}

// The body over an open request, picked up again where it broke off while
// the host answers ranges.
Outcome fetch_body(const Connection& connection, Request& request, PackageFile& package,
                   BlockConsumer* consumer, const std::string& package_url, StepReport& report,
                   std::string& refusal) {
    Resumption resumption = resumption_of(request.handle(), package.content_length);
    int failures = 0;
    for (;;) {
        const std::uint64_t received_before = package.received;
        switch (transfer_body(request, package, consumer, report, refusal)) {
            case Body::keep_going:
            case Body::whole: return Outcome::downloaded;
            case Body::write_failed: return Outcome::write_failed;
            case Body::cancelled: return Outcome::cancelled;
            case Body::refused: return Outcome::refused;
            case Body::unverified: return Outcome::unverified;
            case Body::broke: break;
        }
        if (!resumption.possible) return Outcome::read_failed;
        if (package.received > received_before) failures = 0;
        const Outcome reconnected = reconnect(connection, request, package, resumption, consumer,
                                              failures, package_url, report, refusal);
        if (reconnected != Outcome::keep_going) return reconnected;
    }
}

// Asks for the package's tail, from the first byte of a chunk so that each
// of its chunks can be checked whole. tail tells whether the host answered
// with it: then tail_offset is where it starts and package_size the
// package's size. A host that answers with the whole package (200) answers
// no ranges: that answer is the download. One that answers neither is asked
// plainly, as a setup that knows nothing of ranges would.
Outcome ask_for_tail(const Connection& connection, const PackageCheck& check, Request& request,
                     StepReport& report, bool& tail, std::uint64_t& tail_offset,
                     std::uint64_t& package_size) {
    const std::uint64_t signed_size = check.size();
    const std::uint64_t tail_from =
        check.chunk_start(signed_size > tail_bytes ? signed_size - tail_bytes : 0);
    const std::string tail_request =
        signed_size > 0 ? "Range: bytes=" + std::to_string(tail_from) + "-\r\n" : "";
    const Outcome sent = ask(connection, request, connection.url.object, tail_request, report);
    if (sent != Outcome::keep_going) return sent;
    std::uint64_t tail_last = 0;
    tail = signed_size > 0 &&
           answered_range(request.handle(), tail_offset, tail_last, package_size) &&
           tail_offset == tail_from && tail_last + 1 == package_size &&
           package_size == signed_size;
    if (tail || status_code_of(request.handle()) == 200) return Outcome::keep_going;
    request.close();
    return ask(connection, request, connection.url.object, "", report);
}

// The body once the tail is in: the directory is read from the tail, then
// the body is asked for from byte 0, and only as the same package. Without a
// validator the host cannot promise the package whose directory was read, so
// none is read.
Outcome body_after_tail(const Connection& connection, Request& request, PackageFile& package,
                        std::uint64_t tail_offset, PackageDirectory& directory,
                        const std::string& package_url, StepReport& report,
                        std::string& refusal) {
    BlockConsumer* consumer = nullptr;
    const std::string validator = validator_of(request.handle());
    if (!validator.empty()) {
        const Outcome read =
            take_directory(connection, request, package.content_length, validator, tail_offset,
                           *package.check, directory, consumer, report, refusal);
        if (read != Outcome::keep_going) return read;
    }
    request.close();
    std::string headers = "Range: bytes=0-\r\n";
    if (!validator.empty()) headers += "If-Range: " + validator + "\r\n";
    const Outcome sent = ask(connection, request, connection.url.object, headers, report);
    if (sent != Outcome::keep_going) return sent;
    std::uint64_t first = 0, last = 0, size = 0;
    if (!answered_range(request.handle(), first, last, size) || first != 0 ||
        size != package.content_length) {
        // Another package (200): the directory read is not its directory,
        // and the publisher signed it in a statement of its own.
        if (consumer && !consumer->start_over(refusal)) return Outcome::refused;
        consumer = nullptr;
        const Outcome signed_anew = fetch_statement(connection, report, *package.check);
        if (signed_anew != Outcome::keep_going) return signed_anew;
    }
    package.content_length = content_length_of(request.handle());
    if (!length_is_signed(package)) return Outcome::unverified;
    if (!platform::seek_to(package.file, package.start)) return Outcome::write_failed;
    const Outcome body =
        fetch_body(connection, request, package, consumer, package_url, report, refusal);
    // What stays is what the body brought, as much as it brought.
    if (!cut_after_received(package) && body == Outcome::downloaded) return Outcome::write_failed;
    return body;
}

// The whole download, every Internet handle owned here and closed in
// reverse opening order on every return. A known length that does not fit
// the volume of package_path ends it before the file is looked at, with
// space_message set; a null file is reported once the host has answered.
//
// WinInet runs asynchronously: no call here waits on the network for more
// than a slice, and the window is served between slices.
Outcome fetch(const std::string& package_url, const std::string& package_path, std::FILE* file,
              PackageDirectory& directory, StepReport& report, std::string& space_message,
              std::string& refusal) {
    Connection connection;
    const Outcome connected = open_connection(package_url, connection);
    if (connected != Outcome::keep_going) return connected;
    // What the publisher signed comes first: no byte of the package is used
    // before it is checked against it.
    PackageCheck check;
    const Outcome signed_statement = fetch_statement(connection, report, check);
    if (signed_statement != Outcome::keep_going) return signed_statement;
    Request request(network_timeout_milliseconds);
    bool tail = false;
    std::uint64_t tail_offset = 0, package_size = 0;
    const Outcome asked =
        ask_for_tail(connection, check, request, report, tail, tail_offset, package_size);
    if (asked != Outcome::keep_going) return asked;

    PackageFile package;
    package.check = &check;
    package.content_length = tail ? package_size : content_length_of(request.handle());
    if (!length_is_signed(package)) return Outcome::unverified;
    space_message = disk_space_shortfall("There is not enough free disk space for the download.",
                                         package_path, package.content_length);
    if (!space_message.empty()) return Outcome::no_space;
    if (!file) return Outcome::no_file;
    package.file = file;
    const std::int64_t start = platform::tell(file);
    package.start = start > 0 ? static_cast<std::uint64_t>(start) : 0;

    report.set_status("Downloading Quellmark...", package_url);
    report.process_pending_messages();
    if (report.cancel_requested()) return Outcome::cancelled;
    if (!tail) return fetch_body(connection, request, package, nullptr, package_url, report, refusal);
    return body_after_tail(connection, request, package, tail_offset, directory, package_url,
                           report, refusal);
}

const char* message_for(Outcome outcome) {
    switch (outcome) {
        case Outcome::no_downloader: return "Could not initialize the downloader.";
        case Outcome::no_url: return "Could not open the download URL.";
        case Outcome::no_file: return "Could not create the temporary download file.";
        case Outcome::read_failed: return "The download failed.";
        case Outcome::write_failed: return "Could not write the downloaded data.";
        case Outcome::cancelled: return cancelled_message;
        case Outcome::unverified: return package_unverified_message;
        case Outcome::no_space:
        case Outcome::refused:
        case Outcome::keep_going:
        case Outcome::downloaded: break;
    }
    return "";
}

// A Cancel pressed during the last wait may still sit in the queue: it wins
// over the failure that the wait ended in.
Outcome cancel_wins(Outcome outcome, StepReport& report) {
    if (outcome == Outcome::cancelled) return outcome;
    report.process_pending_messages();
    return report.cancel_requested() ? Outcome::cancelled : outcome;
}

}  // namespace

bool download_package(const std::string& package_url, const std::string& package_path,
                      std::FILE* package, PackageDirectory& directory, StepReport& report,
                      std::string& error_message) {
    std::string space_message, refusal;
    const Outcome outcome =
        fetch(package_url, package_path, package, directory, report, space_message, refusal);
    if (outcome == Outcome::downloaded) return true;
    if (outcome == Outcome::no_space) error_message = space_message;
    else if (outcome == Outcome::refused) error_message = refusal;
    else error_message = message_for(cancel_wins(outcome, report));
    return false;
}
