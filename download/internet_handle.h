#pragma once
#include <windows.h>
#include <wininet.h>

#include "platform/owner.h"

// Declare the Internet handle before the URL handle so they close in the
// order WinInet expects.
inline void close_internet_handle(HINTERNET handle) { InternetCloseHandle(handle); }
using InternetHandle = platform::Owner<HINTERNET, close_internet_handle>;
