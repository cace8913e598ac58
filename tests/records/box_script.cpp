#include "tests/records/box_script.h"

#include <chrono>

namespace records_test {
namespace {

struct Search {
    const std::string* caption;
    DWORD process_id;
    HWND found = nullptr;
};

BOOL CALLBACK find_box(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    char class_name[16] = {};
    char title[256] = {};
    DWORD owner_process = 0;
    GetWindowThreadProcessId(window, &owner_process);
    if (owner_process != search->process_id || !IsWindowVisible(window)) return TRUE;
    GetClassNameA(window, class_name, sizeof class_name);
    GetWindowTextA(window, title, sizeof title);
    if (std::string(class_name) == "#32770" && *search->caption == title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

AnsweredBox describe(HWND box) {
    AnsweredBox seen;
    char text[4096] = {};
    // A standard message box keeps its text in the static control 0xFFFF.
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    seen.text = text;
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
        HWND button = GetDlgItem(box, id);
        if (button && IsWindowVisible(button)) seen.buttons.push_back(id);
    }
    seen.has_owner = GetWindow(box, GW_OWNER) != nullptr;
    return seen;
}

void click(HWND button) {
    PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

}  // namespace

BoxScript::BoxScript(std::string caption, DWORD process_id, std::vector<int> answers)
    : caption_(std::move(caption)),
      process_id_(process_id),
      answers_(std::move(answers)),
      thread_([this] { run(); }) {}

BoxScript::~BoxScript() {
    stop_ = true;
    thread_.join();
}

std::vector<AnsweredBox> BoxScript::answered() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return answered_;
}

HWND BoxScript::wait_for_box() const {
    while (!stop_) {
        Search search{&caption_, process_id_};
        EnumWindows(find_box, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

void BoxScript::run() {
    for (int answer : answers_) {
        HWND box = wait_for_box();
        if (!box) return;
        // Give the box a moment to finish laying out its controls, as a
        // person would take before reading it.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const AnsweredBox seen = describe(box);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            answered_.push_back(seen);
        }
        HWND button = GetDlgItem(box, answer);
        if (button && IsWindowVisible(button)) click(button);
        while (!stop_ && IsWindow(box) && IsWindowVisible(box)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

}  // namespace records_test
