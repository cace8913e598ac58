#include "tests/download/system_proxy.h"

#include <stdexcept>

namespace download_test {
namespace {

constexpr char internet_settings[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

void set_dword(HKEY key, const char* name, DWORD value) {
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void set_string(HKEY key, const char* name, const std::string& value) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

}  // namespace

SystemProxyOverride::SystemProxyOverride(const std::string& server) {
    if (RegOpenKeyExA(HKEY_CURRENT_USER, internet_settings, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      &settings_) != ERROR_SUCCESS)
        throw std::runtime_error("the prefix has no Internet settings");
    DWORD size = sizeof old_enable_;
    RegQueryValueExA(settings_, "ProxyEnable", nullptr, nullptr,
                     reinterpret_cast<BYTE*>(&old_enable_), &size);
    char old_server[256] = {};
    size = sizeof old_server - 1;
    RegQueryValueExA(settings_, "ProxyServer", nullptr, nullptr,
                     reinterpret_cast<BYTE*>(old_server), &size);
    old_server_ = old_server;

    set_dword(settings_, "ProxyEnable", server.empty() ? 0 : 1);
    if (!server.empty()) set_string(settings_, "ProxyServer", server);
}

SystemProxyOverride::~SystemProxyOverride() {
    set_dword(settings_, "ProxyEnable", old_enable_);
    set_string(settings_, "ProxyServer", old_server_);
    RegCloseKey(settings_);
}

}  // namespace download_test
