#include "platform/PortDirectory.h"

#ifdef _WIN32

namespace zelt {

// Registrations stand for devices that have no COM number of their own, the
// simulated logger's pseudo-terminals; Windows has neither (its ports all
// carry their COM names), so none is ever made or found there. The
// single-instance lock is a named mutex there, with no folder.

bool checkPrivateFolder(const std::string&, bool, std::string* error)
{
    if (error)
        *error = "private folders exist on Linux only";
    return false;
}

std::string privateFolder(std::string* error)
{
    if (error)
        *error = "private folders exist on Linux only";
    return {};
}

std::string portDirectory(std::string* error)
{
    if (error)
        *error = "COM port registrations exist on Linux only";
    return {};
}

std::string portDirectoryProblem()
{
    return {};
}

bool registerPort(int, const std::string&, std::string* error)
{
    if (error)
        *error = "COM port registrations exist on Linux only";
    return false;
}

void unregisterPort(int) {}

std::map<int, std::string> registeredPorts()
{
    return {};
}

}  // namespace zelt

#else

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace zelt {

namespace {

std::string octal(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

bool refuse(std::string* error, const std::string& path, const std::string& why)
{
    if (error)
        *error = "the folder " + path + " is refused: " + why;
    return false;
}

std::string linkPath(const std::string& dir, int comNumber)
{
    return dir + "/COM" + std::to_string(comNumber);
}

// Each registration names the process that made it; a registration whose
// process is gone is stale (pseudo-terminal numbers are reused at once).
std::string ownerPath(const std::string& dir, int comNumber)
{
    return linkPath(dir, comNumber) + ".owner";
}

bool processRuns(long pid)
{
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// The process named by a registration's owner file: 0 when there is none,
// -1 when it is not an ordinary file of the user's holding a number.
long ownerOf(const std::string& dir, int comNumber)
{
    const int fd = ::open(ownerPath(dir, comNumber).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? 0 : -1;
    struct stat st {};
    char text[32] = {};
    ssize_t n = -1;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid())
        n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0)
        return -1;
    char* end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return pid > 0 && (*end == '\n' || *end == '\0') ? pid : -1;
}

// A pseudo-terminal's slave side (Unix98 ptys, majors 136 to 143) that the
// user holds: what the simulated logger registers.
bool usersPseudoTerminal(const std::string& device)
{
    struct stat st {};
    if (stat(device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143 && st.st_uid == geteuid();
}

// The device of COM<n>'s link when the link is the user's own and points at
// a pseudo-terminal of the user's; "" otherwise.
std::string registeredDevice(const std::string& dir, int comNumber)
{
    const std::string link = linkPath(dir, comNumber);
    struct stat st {};
    if (lstat(link.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || st.st_uid != geteuid())
        return {};
    char target[4096];
    const ssize_t len = readlink(link.c_str(), target, sizeof target - 1);
    if (len <= 0)
        return {};
    target[len] = '\0';
    return usersPseudoTerminal(target) ? std::string(target) : std::string();
}

}  // namespace

std::string ownerName(long uid)
{
    // A passwd entry may exist with an empty name; the uid alone says more.
    const passwd* pw = getpwuid(static_cast<uid_t>(uid));
    const std::string number = "uid " + std::to_string(uid);
    if (!pw || !pw->pw_name || !*pw->pw_name)
        return number;
    return "user " + std::string(pw->pw_name) + " (" + number + ")";
}

bool checkPrivateFolder(const std::string& path, bool create, std::string* error)
{
    if (path.empty())
        return refuse(error, "\"\"", "no folder named");
    if (create && mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error)
            *error = "the folder " + path + " cannot be made: " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        if (error)
            *error = "the folder " + path + " cannot be used: " + std::strerror(errno);
        return false;
    }
    if (S_ISLNK(st.st_mode))
        return refuse(error, path, "it is a symbolic link, not a folder of your own");
    if (!S_ISDIR(st.st_mode))
        return refuse(error, path, "it is not a folder");
    if (st.st_uid != geteuid())
        return refuse(error, path,
                      "it belongs to " + ownerName(st.st_uid) + ", not to you, " + ownerName(geteuid()) +
                          ". Another user made it first; remove it or set XDG_RUNTIME_DIR to a folder of your own");
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return refuse(error, path,
                      "other users can write in it (mode " + octal(st.st_mode) + "); make it yours alone (chmod 700)");
    return true;
}

std::string privateFolder(std::string* error)
{
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        return checkPrivateFolder(run, false, error) ? std::string(run) : std::string();
    std::string base = "/tmp";
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp)
        base = tmp;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    const std::string folder = base + "/zelt-view-" + std::to_string(static_cast<long>(geteuid()));
    return checkPrivateFolder(folder, true, error) ? folder : std::string();
}

std::string portDirectory(std::string* error)
{
    std::string dir;
    if (const char* given = std::getenv("ZELT_PORT_DIR"); given && *given) {
        dir = given;
    } else {
        const std::string folder = privateFolder(error);
        if (folder.empty())
            return {};
        dir = folder + "/zelt-view-ports";
    }
    return checkPrivateFolder(dir, true, error) ? dir : std::string();
}

std::string portDirectoryProblem()
{
    std::string error;
    return portDirectory(&error).empty() ? error : std::string();
}

bool registerPort(int comNumber, const std::string& devicePath, std::string* error)
{
    const auto fail = [error](const std::string& text) {
        if (error)
            *error = text;
        return false;
    };
    const std::string dir = portDirectory(error);
    if (dir.empty())
        return false;
    const std::string com = "COM" + std::to_string(comNumber);
    const long owner = ownerOf(dir, comNumber);
    const std::string device = registeredDevice(dir, comNumber);
    if (owner == static_cast<long>(getpid()) && device == devicePath)
        return true;  // registered already
    if (processRuns(owner)) {
        // A live process's registration is its own, unless its device is gone
        // (the process was reused for another program). A process that is
        // still making its link holds the number too.
        struct stat st {};
        const bool linkThere = lstat(linkPath(dir, comNumber).c_str(), &st) == 0;
        if (!device.empty() || (!linkThere && owner != static_cast<long>(getpid())))
            return fail(com + " is taken: the simulated logger of process " + std::to_string(owner) +
                        (device.empty() ? std::string() : " (" + device + ")") +
                        " holds it. Give another COM number, or end that one first.");
    }
    // Stale or foreign entries go; unlink never follows a link.
    const std::string link = linkPath(dir, comNumber);
    const std::string ownerFile = ownerPath(dir, comNumber);
    unlink(link.c_str());
    unlink(ownerFile.c_str());
    const int fd = ::open(ownerFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(errno == EEXIST ? com + " is being registered by another process at this moment"
                                    : ownerFile + ": " + std::strerror(errno));
    const std::string pid = std::to_string(static_cast<long>(getpid())) + "\n";
    const bool written = ::write(fd, pid.data(), pid.size()) == static_cast<ssize_t>(pid.size());
    const int writeErrno = errno;
    ::close(fd);
    if (!written) {
        unlink(ownerFile.c_str());
        return fail(ownerFile + ": " + std::strerror(writeErrno));
    }
    if (symlink(devicePath.c_str(), link.c_str()) != 0) {
        const int linkErrno = errno;
        unlink(ownerFile.c_str());
        return fail(link + ": " + std::strerror(linkErrno));
    }
    return true;
}

void unregisterPort(int comNumber)
{
    const std::string dir = portDirectory();
    if (dir.empty() || ownerOf(dir, comNumber) != static_cast<long>(getpid()))
        return;  // not this process's registration
    unlink(linkPath(dir, comNumber).c_str());
    unlink(ownerPath(dir, comNumber).c_str());
}

std::map<int, std::string> registeredPorts()
{
    std::map<int, std::string> ports;
    const std::string dir = portDirectory();
    if (dir.empty())
        return ports;
    DIR* d = opendir(dir.c_str());
    if (!d)
        return ports;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() < 4 || name.compare(0, 3, "COM") != 0)
            continue;
        char* end = nullptr;
        const long n = std::strtol(name.c_str() + 3, &end, 10);
        if (*end != '\0' || n <= 0 || n > 65535)
            continue;
        const long owner = ownerOf(dir, static_cast<int>(n));
        if (owner < 0 || (owner > 0 && !processRuns(owner)))
            continue;  // an owner file that is not the user's, or a stale registration
        const std::string device = registeredDevice(dir, static_cast<int>(n));
        if (!device.empty())
            ports[static_cast<int>(n)] = device;
    }
    closedir(d);
    return ports;
}

}  // namespace zelt

#endif
