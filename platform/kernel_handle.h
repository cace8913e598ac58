#pragma once
// Windows only: the owner of a kernel object's handle (a file, a mutex, an
// event) for the code that calls the system directly.
#include <windows.h>

#include "platform/owner.h"

namespace platform {

inline void close_kernel_handle(HANDLE handle) { CloseHandle(handle); }
using KernelHandle = Owner<HANDLE, close_kernel_handle>;

// CreateFile answers INVALID_HANDLE_VALUE where the other calls leave null;
// this turns the one into the other, so that an owner knows a single value
// that holds nothing.
inline HANDLE taken_from(HANDLE created) {
    return created == INVALID_HANDLE_VALUE ? nullptr : created;
}

}  // namespace platform
