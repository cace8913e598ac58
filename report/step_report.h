#pragma once
// What the long steps (the download, the extraction) need of whoever shows
// their progress: a status to show, a bar to move, a queue to drain so the
// window stays alive, and the person's Cancel. The steps know nothing more of
// the window, so they build, run and are tested without one.
#include <cstdint>
#include <string>

// A step that stops because the person cancelled leaves exactly this text;
// the install sequence tells a cancellation from a failure by it alone.
inline constexpr char cancelled_message[] = "Setup was cancelled.";

class StepReport {
public:
    // A headline over a detail line (a URL, an entry name).
    virtual void set_status(const std::string& headline, const std::string& detail) = 0;
    // The bar, 0 to 100.
    virtual void set_progress(int position) = 0;
    // How much of a transfer has arrived; total is 0 when the host gave no
    // length. Called once per block of the download.
    virtual void show_transfer(std::uint64_t received, std::uint64_t total) = 0;
    // Lets the window handle what waits for it; never blocks.
    virtual void process_pending_messages() = 0;
    // True once the person asked to stop; read right after a drain.
    virtual bool cancel_requested() const = 0;

protected:
    ~StepReport() = default;
};

// True once the person asked to stop, error_message then the cancellation.
inline bool cancelled(const StepReport& report, std::string& error_message) {
    if (!report.cancel_requested()) return false;
    error_message = cancelled_message;
    return true;
}
