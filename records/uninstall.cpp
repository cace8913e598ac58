#include "records/uninstall.h"

// Nothing is removed until uninstall mode is built; the folder cannot be
// determined, which ends the mode with exit code 1 and no box.
int run_uninstall() { return 1; }
std::string module_folder() { return {}; }
void remove_shortcuts() {}
void remove_installed_directories(const std::string&, const std::vector<std::string>&) {}
