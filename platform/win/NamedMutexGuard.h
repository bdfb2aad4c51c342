#pragma once
// The single-instance guard on Windows: a named mutex created with initial
// ownership and held for the life of the process. The system releases a
// mutex whose owner ends in any way (even when killed) and removes it with
// the last handle, so a crash never locks the user out. Plain C++ and Win32.
#include <string>

namespace zelt::win {

class NamedMutexGuard {
public:
    explicit NamedMutexGuard(const std::u16string& name);
    ~NamedMutexGuard();
    NamedMutexGuard(const NamedMutexGuard&) = delete;
    NamedMutexGuard& operator=(const NamedMutexGuard&) = delete;

    // False when the mutex already existed (another process holds it) or
    // could not be created at all: any error at creation counts.
    bool acquired() const { return handle_ != nullptr; }

private:
    void* handle_ = nullptr;  // held only while acquired
};

}  // namespace zelt::win
