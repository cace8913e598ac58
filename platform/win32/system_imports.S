/* Every function the setup calls in a DLL other than kernel32 and msvcrt.
 *
 * Under Wine even user32 and gdi32 pull in DLLs (version.dll among them) that
 * the loader would look for in the program's own folder while it starts the
 * process, before the first line of the setup runs. So the image imports
 * only kernel32 and msvcrt; every other function is reached through the
 * "__imp_" pointer the compiler calls through anyway, defined here. Each
 * pointer starts at a stub that asks resolve_system_import (system_dlls.cpp)
 * for the real address, loading the DLL from System32 alone, patches the
 * pointer and jumps on with the caller's stack untouched. A DLL or export
 * that cannot be had makes the function return its own failure value: 0
 * (FALSE, null) unless the import names another. 0 is success for the
 * registry and COM functions, so those fail with ERROR_PROC_NOT_FOUND, as a
 * status or as an HRESULT.
 */

.set LSTATUS_PROC_NOT_FOUND, 127           /* ERROR_PROC_NOT_FOUND */
.set HRESULT_PROC_NOT_FOUND, 0x8007007F    /* HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) */
.set NTSTATUS_PROC_NOT_FOUND, 0xC000007A   /* STATUS_PROCEDURE_NOT_FOUND */

.macro dll label, file
    .section .rdata
\label: .asciz "\file"
.endm

/* import DLL, NAME, ARGUMENT_BYTES[, ORDINAL[, FAILURE]] */
.macro import dll, name, bytes, ordinal=0, failure=0
    .section .rdata
.Lname_\name: .asciz "\name"
    .data
    .balign 4
    .globl __imp__\name\()@\bytes
__imp__\name\()@\bytes:
    .long .Lload_\name
.Ldescriptor_\name:
    .long __imp__\name\()@\bytes, \dll
    .if \ordinal
    .long \ordinal
    .else
    .long .Lname_\name
    .endif
    .long .Lfailed_\name
    .text
.Lload_\name:
    push %ecx
    push %edx
    push $.Ldescriptor_\name
    call _resolve_system_import
    add $4, %esp
    pop %edx
    pop %ecx
    jmp *%eax
.Lfailed_\name:
    .if \failure
    mov $\failure, %eax
    .else
    xor %eax, %eax
    .endif
    ret $\bytes
.endm

dll .Ladvapi32, "advapi32.dll"
dll .Lbcrypt, "bcrypt.dll"
dll .Lcomctl32, "comctl32.dll"
dll .Lgdi32, "gdi32.dll"
dll .Lntdll, "ntdll.dll"
dll .Lole32, "ole32.dll"
dll .Lshell32, "shell32.dll"
dll .Luser32, "user32.dll"
dll .Lwininet, "wininet.dll"

import .Ladvapi32, ConvertSecurityDescriptorToStringSecurityDescriptorA, 20
import .Ladvapi32, ConvertStringSecurityDescriptorToSecurityDescriptorA, 16
import .Ladvapi32, GetSecurityDescriptorDacl, 16
import .Ladvapi32, GetSecurityDescriptorOwner, 12
import .Ladvapi32, RegCloseKey, 4, 0, LSTATUS_PROC_NOT_FOUND
import .Ladvapi32, RegCreateKeyExA, 36, 0, LSTATUS_PROC_NOT_FOUND
import .Ladvapi32, RegDeleteKeyA, 8, 0, LSTATUS_PROC_NOT_FOUND
import .Ladvapi32, RegDeleteValueW, 8, 0, LSTATUS_PROC_NOT_FOUND
import .Ladvapi32, RegOpenKeyExA, 20, 0, LSTATUS_PROC_NOT_FOUND
import .Ladvapi32, RegQueryValueExA, 24, 0, LSTATUS_PROC_NOT_FOUND
import .Ladvapi32, RegQueryValueExW, 24, 0, LSTATUS_PROC_NOT_FOUND
import .Ladvapi32, RegSetValueExA, 24, 0, LSTATUS_PROC_NOT_FOUND
import .Ladvapi32, RegSetValueExW, 24, 0, LSTATUS_PROC_NOT_FOUND
import .Ladvapi32, SetKernelObjectSecurity, 12
/* The system's random source, RtlGenRandom by its export name. */
import .Ladvapi32, SystemFunction036, 8

/* The common controls' initialisation is exported by ordinal 17 only. */
import .Lbcrypt, BCryptCloseAlgorithmProvider, 8, 0, NTSTATUS_PROC_NOT_FOUND
import .Lbcrypt, BCryptDestroyKey, 4, 0, NTSTATUS_PROC_NOT_FOUND
import .Lbcrypt, BCryptImportKeyPair, 28, 0, NTSTATUS_PROC_NOT_FOUND
import .Lbcrypt, BCryptOpenAlgorithmProvider, 16, 0, NTSTATUS_PROC_NOT_FOUND
import .Lbcrypt, BCryptVerifySignature, 28, 0, NTSTATUS_PROC_NOT_FOUND
import .Lcomctl32, InitCommonControls, 0, 17

import .Lgdi32, BitBlt, 36
import .Lgdi32, CombineRgn, 16
import .Lgdi32, CreateCompatibleBitmap, 12
import .Lgdi32, CreateCompatibleDC, 4
import .Lgdi32, CreateFontA, 56
import .Lgdi32, CreateRectRgn, 16
import .Lgdi32, CreateSolidBrush, 4
import .Lgdi32, DeleteDC, 4
import .Lgdi32, DeleteObject, 4
import .Lgdi32, GetDIBits, 28
import .Lgdi32, GetObjectA, 12
import .Lgdi32, SelectObject, 8
import .Lgdi32, SetBkColor, 8
import .Lgdi32, SetBkMode, 8
import .Lgdi32, SetStretchBltMode, 8
import .Lgdi32, SetTextColor, 8
import .Lgdi32, SetViewportOrgEx, 16
import .Lgdi32, StretchBlt, 44

/* Opens and creates entries relative to an open folder; 0 is success. */
import .Lntdll, NtCreateFile, 44, 0, NTSTATUS_PROC_NOT_FOUND
/* Renames an open file relative to an open folder; 0 is success. */
import .Lntdll, NtSetInformationFile, 20, 0, NTSTATUS_PROC_NOT_FOUND

import .Lole32, CoCreateInstance, 20, 0, HRESULT_PROC_NOT_FOUND
import .Lole32, CoInitialize, 4, 0, HRESULT_PROC_NOT_FOUND
import .Lole32, CoTaskMemFree, 4
import .Lole32, CoUninitialize, 0

import .Lshell32, SHBrowseForFolderA, 4
import .Lshell32, SHGetFolderPathA, 20, 0, HRESULT_PROC_NOT_FOUND
import .Lshell32, SHGetPathFromIDListA, 8

import .Luser32, BeginPaint, 8
import .Luser32, CallWindowProcA, 20
import .Luser32, ClientToScreen, 8
import .Luser32, CreateWindowExA, 48
import .Luser32, DefWindowProcA, 16
import .Luser32, DisableProcessWindowsGhosting, 0
import .Luser32, DispatchMessageW, 4
import .Luser32, DrawTextA, 20
import .Luser32, DrawTextW, 20
import .Luser32, EndPaint, 8
import .Luser32, FillRect, 12
import .Luser32, FindWindowA, 8
import .Luser32, GetClientRect, 8
import .Luser32, GetCursorPos, 4
import .Luser32, GetDC, 4
import .Luser32, GetDlgCtrlID, 4
import .Luser32, GetDlgItem, 8
import .Luser32, GetFocus, 0
import .Luser32, GetLastActivePopup, 4
import .Luser32, GetSystemMetrics, 4
import .Luser32, GetWindowLongA, 8
import .Luser32, GetWindowTextW, 12
import .Luser32, InvalidateRect, 12
import .Luser32, IsChild, 8
import .Luser32, IsDialogMessageW, 8
import .Luser32, IsIconic, 4
import .Luser32, IsRectEmpty, 4
import .Luser32, IsWindowVisible, 4
import .Luser32, LoadCursorA, 8
import .Luser32, LoadIconA, 8
import .Luser32, LoadImageA, 24
import .Luser32, MessageBoxA, 16
import .Luser32, MsgWaitForMultipleObjects, 20, 0, -1
import .Luser32, PeekMessageW, 20
import .Luser32, RegisterClassA, 4
import .Luser32, ReleaseCapture, 0
import .Luser32, ReleaseDC, 8
import .Luser32, ScreenToClient, 8
import .Luser32, SendMessageA, 16
import .Luser32, SetCapture, 4
import .Luser32, SetFocus, 4
import .Luser32, SetForegroundWindow, 4
import .Luser32, SetWindowLongA, 12
import .Luser32, SetWindowPos, 28
import .Luser32, SetWindowRgn, 12
import .Luser32, SetWindowTextA, 8
import .Luser32, ShowWindow, 8
import .Luser32, SystemParametersInfoA, 16
import .Luser32, TrackMouseEvent, 4
import .Luser32, TranslateMessage, 4
import .Luser32, UpdateWindow, 4

import .Lwininet, HttpOpenRequestA, 32
import .Lwininet, HttpQueryInfoA, 20
import .Lwininet, HttpSendRequestA, 20
import .Lwininet, InternetCloseHandle, 4
import .Lwininet, InternetConnectA, 32
import .Lwininet, InternetCrackUrlA, 16
import .Lwininet, InternetOpenA, 20
import .Lwininet, InternetQueryDataAvailable, 16
import .Lwininet, InternetReadFileExA, 16
import .Lwininet, InternetSetOptionA, 16
import .Lwininet, InternetSetStatusCallbackA, 8, 0, -1
