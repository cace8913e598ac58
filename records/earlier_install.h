#pragma once
// Where the game is installed already, so that a second install goes over
// the first instead of orphaning it.
#include <string>

// The uninstall entry's install location when that folder still holds the
// uninstaller; empty when there is no such install.
std::string earlier_install_folder();

// The uninstall entry's "InstallLocation" as recorded; empty when there is
// no entry or no such text value.
std::string recorded_install_location();
