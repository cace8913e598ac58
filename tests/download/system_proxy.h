#pragma once
// Changes the test prefix's system proxy for one test and puts the previous
// setting back afterwards, so the rest of the run still reaches the local
// package host through its proxy.
#include <windows.h>

#include <string>

namespace download_test {

class SystemProxyOverride {
public:
    // An empty server turns the proxy off (direct connections).
    explicit SystemProxyOverride(const std::string& server);
    ~SystemProxyOverride();
    SystemProxyOverride(const SystemProxyOverride&) = delete;
    SystemProxyOverride& operator=(const SystemProxyOverride&) = delete;

private:
    HKEY settings_ = nullptr;
    DWORD old_enable_ = 0;
    std::string old_server_;
};

}  // namespace download_test
