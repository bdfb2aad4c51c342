#include "platform/InstanceGuard.h"

#ifdef _WIN32
#include "platform/win/NamedMutexGuard.h"
#else
#include "platform/PortDirectory.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

namespace {

QString ownerText(uid_t uid)
{
    return QString::fromLocal8Bit(ownerName(static_cast<long>(uid)).c_str());
}

}  // namespace

InstanceGuard::InstanceGuard(const QString& name)
{
    // In the user's own folder, so that no other user can make or hold it.
    std::string folderError;
    const std::string folder = privateFolder(&folderError);
    if (folder.empty()) {
        error_ = QStringLiteral("the single-instance lock cannot be made: %1").arg(QString::fromLocal8Bit(folderError.c_str()));
        return;
    }
    const QString path = QString::fromLocal8Bit(folder.c_str()) + QLatin1Char('/') + name + QStringLiteral(".lock");
    const QByteArray file = path.toLocal8Bit();
    fd_ = ::open(file.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        error_ = errno == ELOOP ? QStringLiteral("the single-instance lock %1 is a symbolic link; it is not followed").arg(path)
                                : QStringLiteral("the single-instance lock %1 cannot be made: %2")
                                      .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    struct stat st {};
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        error_ = !S_ISREG(st.st_mode)
                     ? QStringLiteral("the single-instance lock %1 is not an ordinary file").arg(path)
                     : QStringLiteral("the single-instance lock %1 belongs to %2, not to you, %3; remove it")
                           .arg(path, ownerText(st.st_uid), ownerText(geteuid()));
        ::close(fd_);
        fd_ = -1;
        return;
    }
    acquired_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    if (!acquired_ && errno != EWOULDBLOCK)
        error_ = QStringLiteral("the single-instance lock %1 cannot be taken: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
}

InstanceGuard::~InstanceGuard()
{
    if (fd_ >= 0)
        ::close(fd_);  // closing releases the lock
}
#endif

}  // namespace zelt
