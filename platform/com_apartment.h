#pragma once
// Windows only: the shortcuts and the folder browser speak COM.
#include <windows.h>
#include <objbase.h>

namespace platform {

// COM for this thread, single-threaded apartment, for the owner's lifetime:
// joins one that is already there or makes one. Uninitialises only what it
// initialised: an unbalanced CoUninitialize would tear down a caller's COM.
class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComApartment() {
        if (initialised_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

}  // namespace platform
