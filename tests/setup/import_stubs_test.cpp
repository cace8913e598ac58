// Every function of system_imports.S reports failure when its DLL cannot be
// had: run with the DLLs disabled, each stub must return its function's own
// failure value. 0 would read as success for the registry (ERROR_SUCCESS) and
// COM (S_OK) functions. A plain program: it imports kernel32 and msvcrt only,
// like the setup, so nothing else loads the disabled DLLs first.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <wininet.h>

#include <cstdio>
#include <initializer_list>

namespace {

int failures = 0;

void expect(const char* function, unsigned long actual, unsigned long expected) {
    if (actual == expected) return;
    std::printf("%s returned 0x%08lX, expected 0x%08lX\n", function, actual, expected);
    ++failures;
}

}  // namespace

int main() {
    for (const char* dll : {"advapi32.dll", "ole32.dll", "shell32.dll", "wininet.dll"}) {
        if (LoadLibraryExA(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
            std::printf("%s could be loaded: run with it disabled (WINEDLLOVERRIDES=...=d)\n", dll);
            return 1;
        }
    }
    const unsigned long status = ERROR_PROC_NOT_FOUND;
    const unsigned long result = static_cast<unsigned long>(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));

    HKEY key = nullptr;
    expect("RegCreateKeyExA",
           RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                           nullptr),
           status);
    const DWORD value = 1;
    expect("RegSetValueExA",
           RegSetValueExA(key, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
           status);
    expect("RegDeleteKeyA", RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\x"), status);
    expect("RegCloseKey", RegCloseKey(key), status);

    expect("CoInitialize", static_cast<unsigned long>(CoInitialize(nullptr)), result);
    void* object = nullptr;
    expect("CoCreateInstance",
           static_cast<unsigned long>(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                                       IID_IUnknown, &object)),
           result);
    char folder[MAX_PATH] = {};
    expect("SHGetFolderPathA",
           static_cast<unsigned long>(SHGetFolderPathA(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY,
                                                       nullptr, 0, folder)),
           result);

    expect("InternetOpenA",
           reinterpret_cast<unsigned long>(InternetOpenA("x", INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                                        nullptr, 0)),
           0);
    expect("InternetSetStatusCallbackA",
           reinterpret_cast<unsigned long>(InternetSetStatusCallbackA(nullptr, nullptr)),
           reinterpret_cast<unsigned long>(INTERNET_INVALID_STATUS_CALLBACK));
    DWORD size = 0;
    expect("HttpQueryInfoA", HttpQueryInfoA(nullptr, HTTP_QUERY_CONTENT_LENGTH, nullptr, &size, nullptr),
           FALSE);

    if (failures == 0) std::printf("every stub reported its function's failure\n");
    return failures == 0 ? 0 : 1;
}
