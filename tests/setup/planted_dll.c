/* A stand-in for a DLL that someone dropped next to the setup. It does
 * nothing but leave a marker "<its own path>.loaded" when it is loaded, so a
 * test can tell whether the setup ever picked it up. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char marker[MAX_PATH + 16] = {0};
        DWORD length = GetModuleFileNameA(self, marker, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcpyA(marker + length, ".loaded");
            HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    }
    return TRUE;
}
