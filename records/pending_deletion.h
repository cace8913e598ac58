#pragma once
// The deletions that wait for the next restart, as the uninstaller leaves one
// for its own file.
#include <cstdio>

// Takes every restart deletion that would remove file, an open file, out of
// PendingFileRenameOperations under
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager: each deletion's
// path is opened and compared by file identity (volume serial number and
// file index), so any spelling that reaches the file (another case, a short
// name, a link) matches, and a path that names another file or nothing does
// not. Every other entry stays exactly as it was; without a match the value
// is not written at all.
void cancel_pending_deletion(std::FILE* file);
