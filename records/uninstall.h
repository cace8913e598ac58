#pragma once
// Uninstall mode: removes what an install made, after the user confirms.

// Returns the process exit code: 1 when the install folder cannot be
// determined, 0 otherwise (also when the user declines).
int run_uninstall();
