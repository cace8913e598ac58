#pragma once
// The line under the detail while the package downloads: how much has
// arrived, how fast, and how long the rest will take.
#include <cstdint>
#include <deque>
#include <string>

// The line's text, in UTF-8. received and total are bytes (total 0: no
// announced length); the speed is recent_bytes over recent_ms. With less
// than a second behind it the speed means little, and is left out with the
// time left.
std::string transfer_line(std::uint64_t received, std::uint64_t total, std::uint64_t recent_bytes,
                          std::uint64_t recent_ms);

// The download's reports, kept so that the speed is taken over the last few
// seconds: one slow or quick block barely moves it.
class TransferMeter {
public:
    void add(std::uint64_t received, std::uint64_t total, std::uint64_t now_ms);
    void clear() { samples_.clear(); }
    bool empty() const { return samples_.empty(); }
    // The line for the reports so far; empty before the first.
    std::string text() const;

    static constexpr std::uint64_t smoothing_ms = 5000;
    static constexpr std::uint64_t sample_spacing_ms = 250;

private:
    struct Sample {
        std::uint64_t received;
        std::uint64_t time_ms;
    };
    // Spaced at least sample_spacing_ms apart, except the newest, which
    // always holds the latest report; the oldest is the last one at or
    // before the smoothing window's start.
    std::deque<Sample> samples_;
    std::uint64_t total_ = 0;
};
