#pragma once

#include "Win32Api.h"

#include <utility>

// Owns one Windows handle and closes it, with `Close`, when it goes: a folder listing
// (FindClose) or a file (CloseHandle). INVALID_HANDLE_VALUE stands for none.
template <BOOL(WINAPI* Close)(HANDLE)> class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() { Reset(); }
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.Release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
    // Closes the handle owned so far and owns `handle` instead.
    void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
        if (handle_ != INVALID_HANDLE_VALUE) {
            Close(handle_);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A folder listing of FindFirstFileExW.
using FindHandle = OwnedHandle<FindClose>;
// A file or folder opened with CreateFileW.
using FileHandle = OwnedHandle<CloseHandle>;
