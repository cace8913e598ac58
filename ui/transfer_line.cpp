#include "ui/transfer_line.h"

#include <cstdio>

namespace {
constexpr double megabyte = 1e6;
constexpr double gigabyte = 1e9;
// U+00B7 MIDDLE DOT, in UTF-8.
constexpr char separator[] = " \xC2\xB7 ";

std::string format(const char* pattern, double value) {
    char text[32];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// Both amounts in one unit, the one the larger needs: a package of gigabytes
// reads in GB from its first byte.
std::string amounts(std::uint64_t received, std::uint64_t total) {
    const bool in_gigabytes = (total > received ? total : received) >= gigabyte;
    const double unit = in_gigabytes ? gigabyte : megabyte;
    const char* pattern = in_gigabytes ? "%.2f" : "%.1f";
    std::string text = format(pattern, received / unit);
    if (total > 0) text += " of " + format(pattern, total / unit);
    return text + (in_gigabytes ? " GB" : " MB");
}

std::string speed(double bytes_per_second) {
    if (bytes_per_second >= megabyte) return format("%.1f MB/s", bytes_per_second / megabyte);
    return format("%.0f KB/s", bytes_per_second / 1000);
}

// Seconds under a minute, minutes under an hour, then hours and minutes.
std::string time_left(double seconds) {
    const auto whole_seconds = static_cast<std::uint64_t>(seconds + 0.5);
    if (whole_seconds < 60) {
        return "about " + std::to_string(whole_seconds < 1 ? 1 : whole_seconds) + " s left";
    }
    const std::uint64_t minutes = (whole_seconds + 30) / 60;
    if (minutes < 60) return "about " + std::to_string(minutes) + " min left";
    std::string text = "about " + std::to_string(minutes / 60) + " h";
    if (minutes % 60) text += " " + std::to_string(minutes % 60) + " min";
    return text + " left";
}
}  // namespace

std::string transfer_line(std::uint64_t received, std::uint64_t total, std::uint64_t recent_bytes,
                          std::uint64_t recent_ms) {
    std::string line = amounts(received, total);
    if (recent_ms < 1000) return line;
    const double bytes_per_second = recent_bytes * 1000.0 / recent_ms;
    line += separator + speed(bytes_per_second);
    if (total > received && bytes_per_second > 0) {
        line += separator + time_left((total - received) / bytes_per_second);
    }
    return line;
}

void TransferMeter::add(std::uint64_t received, std::uint64_t total, std::uint64_t now_ms) {
    total_ = total;
    // The newest sample follows the reports until it is a spacing old; then
    // it stays, and the next report starts a new one.
    if (samples_.size() >= 2 &&
        now_ms - samples_[samples_.size() - 2].time_ms < sample_spacing_ms) {
        samples_.back() = {received, now_ms};
    } else {
        samples_.push_back({received, now_ms});
    }
    while (samples_.size() > 2 && now_ms - samples_[1].time_ms >= smoothing_ms) {
        samples_.pop_front();
    }
}

std::string TransferMeter::text() const {
    if (samples_.empty()) return {};
    const Sample& oldest = samples_.front();
    const Sample& newest = samples_.back();
    return transfer_line(newest.received, total_, newest.received - oldest.received,
                         newest.time_ms - oldest.time_ms);
}
