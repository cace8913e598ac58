#pragma once
// The entry point's two modes. The install sequence is the only place that
// shows a failure to the user and the only one that decides the exit code.

// True when the command line holds "/uninstall" anywhere: a plain,
// case-sensitive substring test, not an argument parse. Null counts as empty.
bool selects_uninstall(const char* command_line);

// The install mode, from the ready page to the final message. Returns the
// process exit code: 0 on success or when the ready page ends without
// Install, 1 on any failure or cancellation after it.
int run_install();
