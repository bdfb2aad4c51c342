#include "link/SerialDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#if defined(Q_OS_LINUX)
#include <asm/ioctls.h>
#include <grp.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zelt {

namespace {

// An attribute of the USB serial adapter behind a tty device, following
// links to the device; empty when the adapter has no such file.
QString adapterAttributePath(const QString& devicePath, const QString& sysRoot, const QString& attribute)
{
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    const QString name = QFileInfo(target.isEmpty() ? devicePath : target).fileName();
    if (name.isEmpty())
        return QString();
    const QString path = sysRoot + QStringLiteral("/class/tty/") + name + QStringLiteral("/device/") + attribute;
    return QFileInfo::exists(path) ? path : QString();
}

}  // namespace

QString latencyTimerPath(const QString& devicePath, const QString& sysRoot)
{
    return adapterAttributePath(devicePath, sysRoot, QStringLiteral("latency_timer"));
}

QString eventCharacterPath(const QString& devicePath, const QString& sysRoot)
{
    return adapterAttributePath(devicePath, sysRoot, QStringLiteral("event_char"));
}

QByteArray eventCharacterValue(std::optional<char> c)
{
    return QByteArray::number(c ? 0x100 | static_cast<unsigned char>(*c) : 0);
}

bool writeEventCharacter(const QString& devicePath, std::optional<char> c, const QString& sysRoot)
{
    const QString path = eventCharacterPath(devicePath, sysRoot);
    if (path.isEmpty())
        return false;
    // The driver passes the value to the adapter at the write; a refusal
    // (the adapter did not take it) shows at the flush.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray value = eventCharacterValue(c);
    return file.write(value) == value.size();
}

LowLatency requestLowLatency(qintptr fd, const QString& devicePath, const QString& sysRoot)
{
    LowLatency result;
#if defined(Q_OS_LINUX)
    serial_struct serial {};
    if (fd >= 0 && ::ioctl(static_cast<int>(fd), TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        result.driverFlag = ::ioctl(static_cast<int>(fd), TIOCSSERIAL, &serial) == 0;
    }
    const QString timer = latencyTimerPath(devicePath, sysRoot);
    if (!timer.isEmpty()) {
        QFile file(timer);
        if (file.open(QIODevice::ReadOnly)) {
            result.latencyTimer = file.readAll().trimmed() == "1";
            file.close();
        }
        if (!result.latencyTimer && file.open(QIODevice::WriteOnly))
            result.latencyTimer = file.write("1") == 1 && file.flush();
    }
#else
    // Windows: the driver's latency timer is a setting of the device (the
    // package's installer or the device manager sets it); nothing is asked
    // of it per open.
    (void)fd;
    (void)devicePath;
    (void)sysRoot;
#endif
    return result;
}

QString permissionDeniedText(const QString& devicePath, const QString& groupName)
{
    const QString group = groupName.isEmpty() ? QStringLiteral("dialout") : groupName;
    return QStringLiteral("Permission denied: %1; add your user to the %2 group (sudo usermod -aG %2 $USER, then "
                          "log in again), or install the package's udev rule")
        .arg(devicePath, group);
}

QString deviceAccessProblem(const QString& devicePath)
{
#if defined(Q_OS_LINUX)
    const QByteArray path = QFile::encodeName(devicePath);
    if (::access(path.constData(), R_OK | W_OK) == 0)
        return QString();
    if (errno != EACCES)
        return QString();
    QString owner;
    struct stat st {};
    if (::stat(path.constData(), &st) == 0)
        if (const struct group* g = ::getgrgid(st.st_gid))
            owner = QString::fromLocal8Bit(g->gr_name);
    return permissionDeniedText(devicePath, owner);
#else
    (void)devicePath;
    return QString();
#endif
}

}  // namespace zelt
