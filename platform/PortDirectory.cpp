#include "platform/PortDirectory.h"

#ifdef _WIN32

namespace zelt {

// Registrations stand for devices that have no COM number of their own, the
// simulated logger's pseudo-terminals; Windows has neither (its ports all
// carry their COM names), so none is ever made or found there.

std::string portDirectory()
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
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <fstream>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelt {

std::string portDirectory()
{
    if (const char* dir = std::getenv("ZELT_PORT_DIR"); dir && *dir)
        return dir;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::string(run) + "/zelt-view-ports";
    return "/tmp/zelt-view-ports-" + std::to_string(static_cast<long>(getuid()));
}

static std::string linkPath(int comNumber)
{
    return portDirectory() + "/COM" + std::to_string(comNumber);
}

// Each registration names the process that made it; a registration whose
// process is gone is stale (pseudo-terminal numbers are reused at once).
static std::string ownerPath(int comNumber)
{
    return linkPath(comNumber) + ".owner";
}

static bool ownerAlive(int comNumber)
{
    std::ifstream in(ownerPath(comNumber));
    long pid = 0;
    if (!(in >> pid) || pid <= 0)
        return true;  // registered without an owner: trust the device's existence
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool registerPort(int comNumber, const std::string& devicePath, std::string* error)
{
    const std::string dir = portDirectory();
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error)
            *error = dir + ": " + std::strerror(errno);
        return false;
    }
    const std::string link = linkPath(comNumber);
    unlink(link.c_str());
    {
        std::ofstream owner(ownerPath(comNumber), std::ios::trunc);
        owner << static_cast<long>(getpid()) << '\n';
    }
    if (symlink(devicePath.c_str(), link.c_str()) != 0) {
        if (error)
            *error = link + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void unregisterPort(int comNumber)
{
    unlink(linkPath(comNumber).c_str());
    unlink(ownerPath(comNumber).c_str());
}

std::map<int, std::string> registeredPorts()
{
    std::map<int, std::string> ports;
    const std::string dir = portDirectory();
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
        if (!ownerAlive(static_cast<int>(n)))
            continue;
        char target[4096];
        const ssize_t len = readlink((dir + "/" + name).c_str(), target, sizeof target - 1);
        if (len <= 0)
            continue;
        target[len] = '\0';
        struct stat st {};
        if (stat(target, &st) != 0)  // the device is gone: a stale registration
            continue;
        ports[static_cast<int>(n)] = target;
    }
    closedir(d);
    return ports;
}

}  // namespace zelt

#endif
