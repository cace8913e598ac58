#pragma once
// Where an install's time goes, for the benchmark's profile build (built with
// QUELLMARK_PHASE_CLOCK). Each PhaseTimer charges the time it lives to its
// phase, less the time of the timers that run inside it, so the phases never
// count a moment twice; what no timer covers is the setup's own work between
// them. In every other build a timer is empty and costs nothing.
#include <chrono>
#include <cstdio>
#include <cstdlib>

enum class Phase {
    waiting,    // for a completion of the network or the person's time slice
    reading,    // WinInet: the socket, TLS and the HTTP layer
    checking,   // SHA-256 of the package against its statement
    inflating,  // zlib
    crc32,      // of every byte written
    writing,    // into the package file and the installed files
    files,      // creating and closing the installed files
    listing,    // each file's line in the list before the file is made
    window,     // draining the queue and painting
};
inline constexpr const char* phase_names[] = {"waiting", "reading", "checking", "inflating", "crc32",
                                              "writing", "files",   "listing",  "window"};
inline constexpr int phase_count = sizeof phase_names / sizeof phase_names[0];

#ifdef QUELLMARK_PHASE_CLOCK

namespace phase_clock {
using Clock = std::chrono::steady_clock;
struct State {
    double seconds[phase_count] = {};
    int current = -1;  // the phase now charged, -1 for none
    Clock::time_point since;
    Clock::time_point started;
};
inline State state;

inline void charge(Clock::time_point now) {
    if (state.current >= 0)
        state.seconds[state.current] += std::chrono::duration<double>(now - state.since).count();
    state.since = now;
}
}  // namespace phase_clock

class PhaseTimer {
public:
    explicit PhaseTimer(Phase phase) : outer_(phase_clock::state.current) {
        phase_clock::charge(phase_clock::Clock::now());
        phase_clock::state.current = static_cast<int>(phase);
    }
    ~PhaseTimer() {
        phase_clock::charge(phase_clock::Clock::now());
        phase_clock::state.current = outer_;
    }
    PhaseTimer(const PhaseTimer&) = delete;
    PhaseTimer& operator=(const PhaseTimer&) = delete;

private:
    int outer_;
};

// From the moment the person starts the install.
inline void start_phase_clock() {
    phase_clock::state = {};
    phase_clock::state.started = phase_clock::state.since = phase_clock::Clock::now();
}

// "name seconds" for each phase, then "total" since the start, into the file
// that QUELLMARK_PHASE_FILE names; nothing without it.
inline void write_phase_totals() {
    const char* path = std::getenv("QUELLMARK_PHASE_FILE");
    if (!path) return;
    std::FILE* out = std::fopen(path, "w");
    if (!out) return;
    const double total = std::chrono::duration<double>(phase_clock::Clock::now() -
                                                       phase_clock::state.started).count();
    for (int phase = 0; phase < phase_count; ++phase)
        std::fprintf(out, "%s %.4f\n", phase_names[phase], phase_clock::state.seconds[phase]);
    std::fprintf(out, "total %.4f\n", total);
    std::fclose(out);
}

#else

class PhaseTimer {
public:
    explicit PhaseTimer(Phase) {}
};
inline void start_phase_clock() {}
inline void write_phase_totals() {}

#endif
