// The zelt-sim program as a parent process uses it: its banner, the COM
// registration, control commands on stdin, and a clean exit on SIGTERM.
#include "platform/PortDirectory.h"
#include "tests/Deadline.h"
#include "tests/sim/PtyPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using zelt::sim::test::PtyPort;
using zelt::sim::test::TempPortDir;

namespace {

class Program {
public:
    // With withErrors, what the program says on standard error is read too.
    explicit Program(const std::vector<std::string>& args, bool withErrors = false)
    {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            if (withErrors)
                dup2(out[1], 2);
            ::close(in[1]);
            ::close(out[0]);
            std::vector<char*> argv;
            std::string prog = ZELT_SIM_PROGRAM;
            argv.push_back(prog.data());
            std::vector<std::string> copy = args;
            for (auto& a : copy)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(prog.c_str(), argv.data());
            _exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
    }

    ~Program()
    {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (toChild_ >= 0)
            ::close(toChild_);
        if (fromChild_ >= 0)
            ::close(fromChild_);
    }

    bool running() const { return pid_ > 0; }

    // One line of the program's output, "" at the deadline or end of output.
    std::string readLine(int timeoutMs = 5000)
    {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(zelt::test::deadline(timeoutMs));
        for (;;) {
            const std::size_t nl = buffered_.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffered_.substr(0, nl);
                buffered_.erase(0, nl + 1);
                return line;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0)
                return {};
            pollfd p{fromChild_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            char buf[512];
            const ssize_t n = ::read(fromChild_, buf, sizeof buf);
            if (n <= 0)
                return {};
            buffered_.append(buf, static_cast<std::size_t>(n));
        }
    }

    std::string command(const std::string& line)
    {
        const std::string text = line + "\n";
        if (::write(toChild_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            return {};
        return readLine();
    }

    // Sends the signal, waits for the output to end, and returns the exit status.
    int stopWith(int sig)
    {
        kill(pid_, sig);
        while (!readLine(5000).empty()) {
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    int waitExit()
    {
        while (!readLine(5000).empty()) {
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The exit status once the program has ended within timeoutMs; -1 while
    // it still runs (it is killed at the end of the test).
    int exitWithin(int timeoutMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline)
                return -1;
            ::poll(nullptr, 0, 20);
        }
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int toChild_ = -1, fromChild_ = -1;
    bool exited_ = false;
    std::string buffered_;
};

bool exists(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

TEST(SimProgram, RegistersAnswersAndFollowsControlCommands)
{
    TempPortDir dir;
    Program prog({"--com", "5", "--print-device"});
    ASSERT_TRUE(prog.running());
    const std::string banner = prog.readLine();
    const std::string device = prog.readLine();
    ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    EXPECT_EQ(banner, "zelt-sim: simulated logger on COM5 (" + device + ")");
    EXPECT_EQ(zelt::registeredPorts().at(5), device);
    {
        PtyPort port(device);
        EXPECT_EQ(port.exchange("m"), "JKTW128 SN=20240624\r\n#");
    }

    EXPECT_EQ(prog.command("unplug"), "ok");
    EXPECT_FALSE(exists(device));
    EXPECT_EQ(zelt::registeredPorts().count(5), 0u);

    const std::string replugged = prog.command("replug");
    ASSERT_EQ(replugged.rfind("ok /dev/pts/", 0), 0u) << replugged;
    const std::string second = replugged.substr(3);
    EXPECT_EQ(zelt::registeredPorts().at(5), second);
    EXPECT_EQ(prog.command("model unsupported"), "ok");
    {
        PtyPort port(second);
        EXPECT_EQ(port.exchange("m"), "JKTW064 SN=20240624\r\n#");
    }
    EXPECT_EQ(prog.command("status").rfind("ok device=" + second + " commands=2 ", 0), 0u);  // the "m" before and after the replug
    // What the logger received, one command a line, control bytes escaped.
    {
        PtyPort port(second);
        EXPECT_NE(port.exchange("d20").find('#'), std::string::npos);
    }
    EXPECT_EQ(prog.command("commands 2"), "ok 2");
    EXPECT_EQ(prog.readLine(), "  m");
    EXPECT_EQ(prog.readLine(), "  d20");
    EXPECT_EQ(prog.command("commands x").rfind("error:", 0), 0u);
    EXPECT_EQ(prog.command("dance").rfind("error:", 0), 0u);

    EXPECT_EQ(prog.stopWith(SIGTERM), 0);
    EXPECT_EQ(zelt::registeredPorts().count(5), 0u);
}

// A second simulated logger on a COM number a live one holds is refused
// with a message; nobody but the holder removes the registration.
TEST(SimProgram, NeverTakesOverALiveOnesComNumber)
{
    TempPortDir dir;
    Program first({"--com", "5", "--print-device"});
    ASSERT_EQ(first.readLine().rfind("zelt-sim: simulated logger on COM5", 0), 0u);
    const std::string device = first.readLine();
    ASSERT_EQ(zelt::registeredPorts().at(5), device);

    Program second({"--com", "5"}, true);
    const std::string said = second.readLine();
    EXPECT_EQ(said.rfind("zelt-sim: COM5 is taken", 0), 0u) << said;
    EXPECT_NE(said.find(device), std::string::npos) << said;
    EXPECT_EQ(second.exitWithin(10000), 1);
    EXPECT_EQ(zelt::registeredPorts().at(5), device);

    // Another process's removal leaves it too.
    zelt::unregisterPort(5);
    EXPECT_EQ(zelt::registeredPorts().at(5), device);
    {
        PtyPort port(zelt::registeredPorts().at(5));
        EXPECT_EQ(port.exchange("m"), "JKTW128 SN=20240624\r\n#");
    }

    // Once the holder has ended, the number is free again.
    EXPECT_EQ(first.stopWith(SIGTERM), 0);
    EXPECT_EQ(zelt::registeredPorts().count(5), 0u);
    Program third({"--com", "5", "--print-device"});
    ASSERT_EQ(third.readLine().rfind("zelt-sim: simulated logger on COM5", 0), 0u);
    EXPECT_EQ(zelt::registeredPorts().at(5), third.readLine());
}

TEST(SimProgram, QuitOnStdinAndRefusesBadFlags)
{
    TempPortDir dir;
    {
        Program prog({"--com", "6", "--recording", "yearend", "--short-form"});
        const std::string banner = prog.readLine();
        ASSERT_EQ(banner.rfind("zelt-sim: simulated logger on COM6 (", 0), 0u) << banner;
        PtyPort port(zelt::registeredPorts().at(6));
        const std::string report = port.exchange("p");
        EXPECT_NE(report.find("@C= 720 10sec\r\n"), std::string::npos);
        EXPECT_NE(report.find("@d=15\r\n"), std::string::npos);
        EXPECT_EQ(prog.command("quit"), "ok");
        EXPECT_EQ(prog.waitExit(), 0);
        EXPECT_EQ(zelt::registeredPorts().count(6), 0u);
    }
    Program bad({"--recording", "enormous"});
    EXPECT_EQ(bad.waitExit(), 2);
}
