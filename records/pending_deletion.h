#pragma once
// The deletions that wait for the next restart, as the uninstaller leaves one
// for its own file.
#include <string>

// Takes every restart deletion of path (compared as same_path does) out of
// PendingFileRenameOperations under
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager. Every other entry
// stays exactly as it was; without a match the value is not written at all.
void cancel_pending_deletion(const std::string& path);
