#include "download/async_request.h"

#include "report/phase_clock.h"

namespace async_internet {
namespace {

// Short enough that a Cancel or a drag is served within a tenth of a second
// even while the host says nothing.
constexpr DWORD slice_milliseconds = 25;

void limit_waits(HINTERNET handle, DWORD milliseconds) {
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD timeout = milliseconds;
        InternetSetOptionA(handle, option, &timeout, sizeof timeout);
    }
}

}  // namespace

// What a request shares with WinInet's thread: the completion it waits for,
// and the buffers a pending call writes to. Counted: one reference is the
// request's, and one belongs to each call that may still complete, so a
// call that completes after a Cancel closed the request writes to memory
// that is still there.
struct Request::Shared {
    volatile LONG references = 1;
    volatile LONG call_pending = 0;
    platform::KernelHandle completed{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    DWORD error = ERROR_SUCCESS;
    BOOL succeeded = TRUE;
    INTERNET_BUFFERSA read = {};
    DWORD available = 0;
    std::string headers;
    char block[block_bytes];

    void release() {
        if (InterlockedDecrement(&references) != 0) return;
        delete this;
    }
};

namespace {

// Runs on WinInet's thread. It only records the completion and wakes the
// waiting thread; everything else happens there.
void CALLBACK on_status(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information, DWORD) {
    if (status != INTERNET_STATUS_REQUEST_COMPLETE || context == 0 || !information) return;
    auto* const shared = reinterpret_cast<Request::Shared*>(context);
    if (InterlockedExchange(&shared->call_pending, 0) != 1) return;
    const auto* const result = static_cast<const INTERNET_ASYNC_RESULT*>(information);
    shared->succeeded = static_cast<BOOL>(result->dwResult);
    shared->error = result->dwError;
    SetEvent(shared->completed.get());
    shared->release();
}

}  // namespace

HINTERNET open_session(const char* user_agent, DWORD limit_milliseconds) {
    InternetHandle session(
        InternetOpenA(user_agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC));
    if (!session) return nullptr;
    limit_waits(session.get(), limit_milliseconds);
    if (InternetSetStatusCallbackA(session.get(), on_status) == INTERNET_INVALID_STATUS_CALLBACK) {
        return nullptr;
    }
    return session.release();
}

Wait wait_responsively(HANDLE event, DWORD milliseconds, StepReport& report) {
    const DWORD started = GetTickCount();
    for (;;) {
        const DWORD waited = GetTickCount() - started;
        const DWORD slice = milliseconds - (waited < milliseconds ? waited : milliseconds);
        PhaseTimer waiting(Phase::waiting);
        const DWORD outcome = MsgWaitForMultipleObjects(event ? 1 : 0, &event, FALSE,
                                                        slice < slice_milliseconds ? slice
                                                                                   : slice_milliseconds,
                                                        QS_ALLINPUT);
        if (event && outcome == WAIT_OBJECT_0) return Wait::signalled;
        report.process_pending_messages();
        if (report.cancel_requested()) return Wait::cancelled;
        if (GetTickCount() - started >= milliseconds) return Wait::timed_out;
    }
}

template <typename Call>
Result Request::run(Call call, StepReport& report, Completion completion) {
    InterlockedIncrement(&shared_->references);
    InterlockedExchange(&shared_->call_pending, 1);
    const BOOL finished = call();
    const DWORD error = finished ? ERROR_SUCCESS : GetLastError();
    if (finished || error != ERROR_IO_PENDING) {
        // No completion will follow unless one has begun. One that has begun
        // sets the event in a moment: taken now, it cannot end the next
        // call's wait with this call's result.
        if (InterlockedExchange(&shared_->call_pending, 0) == 1) shared_->release();
        else WaitForSingleObject(shared_->completed.get(), limit_);
        return finished ? Result::succeeded : Result::failed;
    }
    const Wait waited = wait_responsively(shared_->completed.get(), limit_, report);
    if (waited == Wait::cancelled) return Result::cancelled;
    if (waited == Wait::timed_out) return Result::failed;
    if (completion == Completion::counts_bytes) {
        // A query that waited tells its count in the completion; some
        // versions leave the caller's variable alone.
        if (!shared_->succeeded) return Result::failed;
        if (shared_->available == 0) shared_->available = shared_->error;
        return Result::succeeded;
    }
    return shared_->error == ERROR_SUCCESS ? Result::succeeded : Result::failed;
}

Result Request::send(HINTERNET connection, const std::string& object, DWORD flags,
                     const std::string& headers, StepReport& report) {
    PhaseTimer reading(Phase::reading);
    close();
    shared_ = new Shared;
    if (!shared_->completed) return Result::failed;
    shared_->headers = headers;
    request_.reset(HttpOpenRequestA(connection, "GET", object.c_str(), nullptr, nullptr, nullptr,
                                    flags, reinterpret_cast<DWORD_PTR>(shared_)));
    if (!request_) return Result::failed;
    // Some WinInet implementations give a request none of the limits of the
    // handles above it.
    limit_waits(request_.get(), limit_);
    Shared* const shared = shared_;
    return run(
        [&] {
            return HttpSendRequestA(request_.get(),
                                    shared->headers.empty() ? nullptr : shared->headers.c_str(),
                                    static_cast<DWORD>(shared->headers.size()), nullptr, 0);
        },
        report);
}

// Wine's WinInet, asked for a whole block that has not arrived yet, reads
// it on a worker thread; while the host paces its bytes, such a read now and
// then completes with nothing, and the bytes after it are not the stream's
// next ones. So a block is gathered from what has already arrived: ask how
// much is there (the one call that may wait), then take no more than that,
// without waiting. Only a query that finds nothing marks the end of the
// body: a read may bring nothing although the query counted bytes, and that
// 0 taken for the end would lose the rest of a body that only the closing of
// its connection ends. Such a read hands on what the block holds, or, with
// nothing gathered yet, asks again after a slice, up to the limit. A read
// that completes on WinInet's thread reports its count in the buffers it was
// given; InternetReadFile's own count may be set to 0 after that completion.
Result Request::read(DWORD& size, StepReport& report) {
    PhaseTimer reading(Phase::reading);
    size = 0;
    Shared* const shared = shared_;
    const DWORD started = GetTickCount();
    while (size < block_bytes) {
        shared->available = 0;
        const Result asked = run(
            [&] { return InternetQueryDataAvailable(request_.get(), &shared->available, 0, 0); },
            report, Completion::counts_bytes);
        if (asked != Result::succeeded) return asked;
        if (shared->available == 0) break;  // the end of the body
        shared->read = {};
        shared->read.dwStructSize = sizeof shared->read;
        shared->read.lpvBuffer = shared->block + size;
        shared->read.dwBufferLength =
            shared->available < block_bytes - size ? shared->available : block_bytes - size;
        const Result read =
            run([&] { return InternetReadFileExA(request_.get(), &shared->read, IRF_NO_WAIT, 0); },
                report);
        if (read != Result::succeeded) return read;
        size += shared->read.dwBufferLength;
        if (shared->read.dwBufferLength > 0) continue;
        if (size > 0) break;
        if (GetTickCount() - started >= limit_) return Result::failed;
        if (wait_responsively(nullptr, slice_milliseconds, report) == Wait::cancelled)
            return Result::cancelled;
    }
    return Result::succeeded;
}

const char* Request::block() const { return shared_->block; }

void Request::close() {
    request_.reset();
    if (shared_) shared_->release();
    shared_ = nullptr;
}

}  // namespace async_internet
