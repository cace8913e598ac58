#include "platform/system_dlls.h"

#include <windows.h>

namespace {
// DLLs that system code loads by bare name on the setup's behalf: the window
// and its theme, WinInet and the TLS and authentication stack under it. Not
// every loader honours the default search directories for such loads (Wine's
// delay-loaded imports of WinInet do not), but a DLL that is already loaded
// is taken by name, wherever it came from. So they are loaded from System32
// up front and kept for the life of the process.
const char* const loaded_on_our_behalf[] = {
    "version.dll", "uxtheme.dll", "comctl32.dll", "mpr.dll",     "wininet.dll",
    "secur32.dll", "kerberos.dll", "msv1_0.dll",  "schannel.dll", "crypt32.dll",
    "bcrypt.dll",  "rsaenh.dll",   "dnsapi.dll",  "iphlpapi.dll", "netapi32.dll",
};
}  // namespace

void restrict_dll_search_to_system32() {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    for (const char* dll : loaded_on_our_behalf) {
        LoadLibraryExA(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

// One function of system_imports.S: the pointer that callers call through,
// the DLL and export it stands for (an export name, or an ordinal below
// 0x10000), and the stub that reports failure.
struct SystemImport {
    void** slot;
    const char* dll;
    const char* name;
    void* failed;
};

// Called by an import's stub on its first call. Loads the DLL from System32
// only and patches the import's pointer, so later calls go straight through.
extern "C" void* resolve_system_import(SystemImport* import) {
    HMODULE module = LoadLibraryExA(import->dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    FARPROC function = module ? GetProcAddress(module, import->name) : nullptr;
    void* target = function ? reinterpret_cast<void*>(function) : import->failed;
    *import->slot = target;
    return target;
}
