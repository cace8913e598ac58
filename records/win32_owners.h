#pragma once
// Owners for the Win32 and COM resources the records use, so every path out
// of a function gives them back.
#include <windows.h>
#include <objbase.h>

#include "platform/com_apartment.h"
#include "platform/kernel_handle.h"
#include "platform/owner.h"

using platform::ComApartment;

template <typename Interface>
void release_interface(Interface* pointer) { pointer->Release(); }
template <typename Interface>
using ComPtr = platform::Owner<Interface*, release_interface<Interface>>;

inline void close_key(HKEY key) { RegCloseKey(key); }
using RegistryKey = platform::Owner<HKEY, close_key>;
