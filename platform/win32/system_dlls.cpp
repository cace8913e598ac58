// WinInet and the common controls are not KnownDLLs. Their functions are
// declared by the SDK headers as imports, which the compiler calls through
// "__imp_" pointers. This module defines those pointers itself: each starts at
// a stub that loads the DLL from System32 only, resolves the export, patches
// the pointer and forwards the call, so the rest of the code calls the
// ordinary API names and the image's import table never names these DLLs.
#include "system_dlls.h"

#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

void restrict_dll_search_to_system32() { SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32); }

namespace {

FARPROC system_export(const char* dll, const char* name) {
    HMODULE module = LoadLibraryExA(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? GetProcAddress(module, name) : nullptr;
}

template <typename Function>
Function resolve(void*& pointer, const char* dll, const char* name) {
    // FARPROC is the generic export type; going through void* states the
    // real signature without a function-to-function cast.
    auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(system_export(dll, name)));
    if (function) pointer = reinterpret_cast<void*>(function);
    return function;
}

}  // namespace

// One import: the pointer the callers use, named as the compiler expects for
// a __stdcall import with `bytes` of arguments, and its first-call stub. A
// DLL that cannot be loaded from System32 makes the call fail the way the API
// reports failure (`failed`), never a crash.
#define SYSTEM_IMPORT(dll, result, name, bytes, params, args, failed)                   \
    extern "C" result WINAPI name##_first_call params;                                   \
    extern "C" {                                                                         \
    void* name##_import asm("__imp__" #name "@" #bytes) =                                \
        reinterpret_cast<void*>(&name##_first_call);                                     \
    }                                                                                    \
    extern "C" result WINAPI name##_first_call params {                                  \
        auto function = resolve<result(WINAPI*) params>(name##_import, dll, #name);      \
        return function ? function args : failed;                                        \
    }

SYSTEM_IMPORT("wininet.dll", HINTERNET, InternetOpenA, 20,
              (LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags),
              (agent, access, proxy, bypass, flags), nullptr)
SYSTEM_IMPORT("wininet.dll", HINTERNET, InternetOpenUrlA, 24,
              (HINTERNET internet, LPCSTR url, LPCSTR headers, DWORD headers_length, DWORD flags,
               DWORD_PTR context),
              (internet, url, headers, headers_length, flags, context), nullptr)
SYSTEM_IMPORT("wininet.dll", BOOL, HttpQueryInfoA, 20,
              (HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index),
              (request, level, buffer, length, index), FALSE)
SYSTEM_IMPORT("wininet.dll", BOOL, InternetReadFile, 16,
              (HINTERNET file, LPVOID buffer, DWORD to_read, LPDWORD read),
              (file, buffer, to_read, read), FALSE)
SYSTEM_IMPORT("wininet.dll", BOOL, InternetCloseHandle, 4, (HINTERNET handle), (handle), FALSE)

// The common controls' initialisation is exported by ordinal 17 only.
extern "C" void WINAPI InitCommonControls_first_call();
extern "C" {
void* InitCommonControls_import asm("__imp__InitCommonControls@0") =
    reinterpret_cast<void*>(&InitCommonControls_first_call);
}
extern "C" void WINAPI InitCommonControls_first_call() {
    auto function =
        resolve<void(WINAPI*)()>(InitCommonControls_import, "comctl32.dll", MAKEINTRESOURCEA(17));
    if (function) function();
}
