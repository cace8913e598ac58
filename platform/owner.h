#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace platform {

// Owns one handle of a system resource and gives it back exactly once,
// whichever way the owner leaves its scope. The policy is the handle's type,
// its close call, and the value that holds nothing, given as an integer so
// that a null pointer, a descriptor's -1 and Windows' INVALID_HANDLE_VALUE
// all fit. Close is never called with that value.
template <typename Handle, auto Close, std::intptr_t Invalid = 0>
class Owner {
public:
    Owner() = default;
    Owner(std::nullptr_t) {}  // "return nullptr;" for an owner of nothing
    explicit Owner(Handle handle) : handle_(handle) {}
    Owner(Owner&& other) noexcept : handle_(other.release()) {}
    Owner& operator=(Owner&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;
    ~Owner() { reset(); }

    static Handle invalid() {
        if constexpr (std::is_pointer_v<Handle>) {
            return reinterpret_cast<Handle>(Invalid);
        } else {
            return static_cast<Handle>(Invalid);
        }
    }
    Handle get() const { return handle_; }
    template <typename Pointer = Handle>
    std::enable_if_t<std::is_pointer_v<Pointer>, Pointer> operator->() const {
        return handle_;
    }
    explicit operator bool() const { return handle_ != invalid(); }

    // Hands the handle to a new owner: a window taking a region, the C
    // runtime taking a file handle for a stream.
    Handle release() {
        const Handle handle = handle_;
        handle_ = invalid();
        return handle;
    }
    void reset(Handle handle = invalid()) {
        if (handle_ != invalid()) Close(handle_);
        handle_ = handle;
    }
    // For a call that hands the new handle back through a pointer.
    Handle* put() {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = invalid();
};

}  // namespace platform
