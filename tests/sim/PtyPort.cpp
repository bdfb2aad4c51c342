#include "tests/sim/PtyPort.h"

#include "tests/Deadline.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace zelt::sim::test {

PtyPort::PtyPort(const std::string& devicePath)
{
    fd_ = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return;
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd_, TCSANOW, &tio);
}

PtyPort::~PtyPort() { close(); }

void PtyPort::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool PtyPort::send(const std::string& bytes)
{
    return fd_ >= 0 && ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

std::string PtyPort::readUntil(const std::function<bool(const std::string&)>& done, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string got;
    char buf[65536];
    while (fd_ >= 0 && !done(got)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0) {
            got.append(buf, static_cast<std::size_t>(n));
        } else if (n == 0 || (p.revents & (POLLHUP | POLLERR))) {
            hungUp_ = true;
            break;
        }
    }
    return got;
}

std::string PtyPort::readAnswer(int marks, int timeoutMs)
{
    return readUntil([marks](const std::string& s) { return std::count(s.begin(), s.end(), '#') >= marks; },
                     zelt::test::deadline(timeoutMs));
}

std::string PtyPort::readWindow(int ms)
{
    return readUntil([](const std::string&) { return false; }, ms);
}

std::string PtyPort::exchange(const std::string& cmd, int marks, int timeoutMs)
{
    if (!send(cmd))
        return {};
    return readAnswer(marks, timeoutMs);
}

TempPortDir::TempPortDir()
{
    char tmpl[] = "/tmp/zelt-sim-ports-XXXXXX";
    if (const char* dir = mkdtemp(tmpl))
        path_ = dir;
    if (const char* old = std::getenv("ZELT_PORT_DIR")) {
        hadOld_ = true;
        oldValue_ = old;
    }
    setenv("ZELT_PORT_DIR", path_.c_str(), 1);
}

TempPortDir::~TempPortDir()
{
    if (DIR* d = opendir(path_.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..")
                unlink((path_ + "/" + name).c_str());
        }
        closedir(d);
    }
    rmdir(path_.c_str());
    if (hadOld_)
        setenv("ZELT_PORT_DIR", oldValue_.c_str(), 1);
    else
        unsetenv("ZELT_PORT_DIR");
}

}  // namespace zelt::sim::test
