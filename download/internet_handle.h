#pragma once
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <type_traits>

// Owns one WinInet handle and closes it once. Declare the Internet handle
// before the URL handle so they close in the order WinInet expects.
struct InternetHandleCloser {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<std::remove_pointer_t<HINTERNET>, InternetHandleCloser>;
