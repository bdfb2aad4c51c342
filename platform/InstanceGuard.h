#pragma once
// The single-instance guard: a system-wide named lock held for the life of
// the process. On Linux it is an advisory lock on a file in the user's
// runtime directory, which the kernel releases when the process ends in any
// way (even when killed), so a crash never locks the user out.
#include <QString>

namespace zelt {

class InstanceGuard {
public:
    explicit InstanceGuard(const QString& name);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // False when another process holds the guard, or the guard could not be
    // created at all.
    bool acquired() const { return acquired_; }

private:
    bool acquired_ = false;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

}  // namespace zelt
