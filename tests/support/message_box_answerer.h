#pragma once
// Answers message boxes the way a person would: waits for a box with the
// given caption to appear on screen, reads it, and presses one of its buttons.
// Runs on a thread of its own, because the code under test sits in the box's
// modal loop until the box is answered.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test_support {

struct SeenBox {
    std::string text;
    bool has_owner = false;
};

class MessageBoxAnswerer {
public:
    MessageBoxAnswerer(std::string caption, int button_id);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    std::vector<SeenBox> seen() const;

private:
    void watch();

    std::string caption_;
    int button_id_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<SeenBox> seen_;
    std::thread thread_;
};

}  // namespace test_support
