#include "ui/setup_window.h"

// Placeholder until the skinned window exists: without a window the install
// sequence ends quietly with exit code 1.
bool SetupWindow::create(const std::string& proposed_folder) {
    initial_folder = proposed_folder;
    return false;
}

void SetupWindow::load_skin() {}
