#pragma once
// The single-instance guard: a system-wide named lock held for the life of
// the process. On Linux it is an advisory lock on a file in the user's own
// runtime folder (see privateFolder() in PortDirectory.h), which the kernel
// releases when the process ends in any way (even when killed), so a crash
// never locks the user out. On Windows it is a named mutex
// (platform/win/NamedMutexGuard.h), which the system frees the same way.
#include <QString>

#include <memory>

namespace zelt {

namespace win {
class NamedMutexGuard;
}

class InstanceGuard {
public:
    explicit InstanceGuard(const QString& name);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // False when another process holds the guard, or the guard could not be
    // created at all.
    bool acquired() const { return acquired_; }
    // Why the guard could not be created (which folder or file, whose it
    // is); empty when it was, also when another process holds it.
    QString error() const { return error_; }

private:
    bool acquired_ = false;
    QString error_;
#ifdef _WIN32
    std::unique_ptr<win::NamedMutexGuard> mutex_;
#else
    int fd_ = -1;
#endif
};

}  // namespace zelt
