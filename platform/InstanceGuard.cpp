#include "platform/InstanceGuard.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace zelt {

#ifdef _WIN32
InstanceGuard::InstanceGuard(const QString& name)
{
    handle_ = CreateMutexA(nullptr, TRUE, name.toLocal8Bit().constData());
    acquired_ = handle_ != nullptr && GetLastError() == 0;
}

InstanceGuard::~InstanceGuard()
{
    if (handle_) {
        if (acquired_)
            ReleaseMutex(static_cast<HANDLE>(handle_));
        CloseHandle(static_cast<HANDLE>(handle_));
    }
}
#else
InstanceGuard::InstanceGuard(const QString& name)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const QString dir = runtime && *runtime ? QString::fromLocal8Bit(runtime) : QStringLiteral("/tmp");
    const QByteArray path = (dir + QLatin1Char('/') + name + QStringLiteral(".lock")).toLocal8Bit();
    fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0)
        return;
    acquired_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

InstanceGuard::~InstanceGuard()
{
    if (fd_ >= 0)
        ::close(fd_);  // closing releases the lock
}
#endif

}  // namespace zelt
