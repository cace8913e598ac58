#include "tests/support/message_box_answerer.h"

#include <chrono>

namespace test_support {
namespace {

struct Search {
    const std::string* caption;
    HWND found = nullptr;
};

BOOL CALLBACK find_box(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    char class_name[16] = {};
    char title[256] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    GetWindowTextA(window, title, sizeof title);
    if (std::string(class_name) == "#32770" && *search->caption == title &&
        IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The text of a standard message box sits in its static control 0xFFFF.
std::string box_text(HWND box) {
    char text[4096] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer(std::string caption, int button_id)
    : caption_(std::move(caption)), button_id_(button_id), thread_([this] { watch(); }) {}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    stop_ = true;
    thread_.join();
}

std::vector<SeenBox> MessageBoxAnswerer::seen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

void MessageBoxAnswerer::watch() {
    HWND last_answered = nullptr;
    while (!stop_) {
        Search search{&caption_};
        EnumWindows(find_box, reinterpret_cast<LPARAM>(&search));
        HWND button = search.found ? GetDlgItem(search.found, button_id_) : nullptr;
        if (search.found && button && search.found != last_answered) {
            SeenBox box{box_text(search.found), GetWindow(search.found, GW_OWNER) != nullptr};
            {
                std::lock_guard<std::mutex> lock(mutex_);
                seen_.push_back(box);
            }
            last_answered = search.found;
            // A click on the button: press and release, as the mouse would.
            PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            PostMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace test_support
