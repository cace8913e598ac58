#pragma once
// Answers the message boxes of another process as a person at the screen
// would: waits for each box with the given caption to show, reads its text
// and its buttons, clicks the planned button, and waits for the box to go
// before looking for the next one.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace records_test {

struct AnsweredBox {
    std::string text;
    std::vector<int> buttons;  // visible ones among IDOK, IDCANCEL, IDYES, IDNO
    bool has_owner = false;
};

class BoxScript {
public:
    // answers: the button to click on the first, second, ... box of process_id.
    BoxScript(std::string caption, DWORD process_id, std::vector<int> answers);
    ~BoxScript();
    BoxScript(const BoxScript&) = delete;
    BoxScript& operator=(const BoxScript&) = delete;

    std::vector<AnsweredBox> answered() const;

private:
    void run();
    HWND wait_for_box() const;

    std::string caption_;
    DWORD process_id_;
    std::vector<int> answers_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<AnsweredBox> answered_;
    std::thread thread_;
};

}  // namespace records_test
