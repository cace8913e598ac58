#pragma once
// One HTTP request in WinInet's asynchronous mode, waited for on the calling
// thread without ever blocking it for long: the wait runs in short slices,
// and between them the window's queue is drained and the person's Cancel is
// read. A call that does not complete within its limit counts as failed.
#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

#include "download/internet_handle.h"
#include "platform/kernel_handle.h"
#include "report/step_report.h"

namespace async_internet {

enum class Result { succeeded, failed, cancelled };
// How a wait ends: its event came, its time ran out, or the person cancelled.
enum class Wait { signalled, timed_out, cancelled };

constexpr DWORD block_bytes = 65536;

// The root handle of an asynchronous session, with the status callback that
// every request below it reports to, and limit_milliseconds for each
// connect, send and receive; null when WinInet cannot give one.
HINTERNET open_session(const char* user_agent, DWORD limit_milliseconds);

// Waits up to milliseconds for event (null: only the time), draining the
// window's queue every slice; cancelled as soon as the person cancels.
Wait wait_responsively(HANDLE event, DWORD milliseconds, StepReport& report);

class Request {
public:
    // limit_milliseconds bounds every call: a send until its answer's
    // headers, a read until its block.
    explicit Request(DWORD limit_milliseconds) : limit_(limit_milliseconds) {}
    ~Request() { close(); }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    // Opens a GET of object on connection and sends it with headers (CRLF
    // terminated lines, may be empty).
    Result send(HINTERNET connection, const std::string& object, DWORD flags,
                const std::string& headers, StepReport& report);
    // Reads the next block of the body; size 0 is its end.
    Result read(DWORD& size, StepReport& report);
    const char* block() const;
    HINTERNET handle() const { return request_.get(); }

    // Closes the request. A call still pending may complete later on
    // WinInet's own thread: what it writes to stays alive until then.
    void close();

    // What a request shares with WinInet's thread (async_request.cpp).
    struct Shared;

private:
    // How a completion tells success: by its error (ERROR_SUCCESS), or, for
    // a query of the bytes available, by its result, its error then holding
    // the count.
    enum class Completion { by_error, counts_bytes };
    template <typename Call>
    Result run(Call call, StepReport& report, Completion completion = Completion::by_error);

    DWORD limit_;
    InternetHandle request_;
    Shared* shared_ = nullptr;
};

}  // namespace async_internet
