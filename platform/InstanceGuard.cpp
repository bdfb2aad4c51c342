#include "platform/InstanceGuard.h"

#ifdef _WIN32
#include "platform/win/NamedMutexGuard.h"
#else
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace zelt {

#ifdef _WIN32
InstanceGuard::InstanceGuard(const QString& name)
    : mutex_(std::make_unique<win::NamedMutexGuard>(name.toStdU16String()))
{
    acquired_ = mutex_->acquired();
}

InstanceGuard::~InstanceGuard() = default;
#else
InstanceGuard::InstanceGuard(const QString& name)
{
    // The user's runtime directory, or a per-user name in /tmp so that one
    // user's lock never keeps another user out.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const QString path = runtime && *runtime
                             ? QString::fromLocal8Bit(runtime) + QLatin1Char('/') + name + QStringLiteral(".lock")
                             : QStringLiteral("/tmp/%1-%2.lock").arg(name).arg(getuid());
    const QByteArray file = path.toLocal8Bit();
    fd_ = ::open(file.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
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
