#include "sim/Program.h"

#include "platform/PortDirectory.h"
#include "sim/Control.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int gSignalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &b, 1);
}

}  // namespace

namespace zelt::sim {

int runSimulatorProgram(const std::vector<std::string>& args)
{
    ProgramOptions opts;
    std::string error;
    if (!parseProgramArguments(args, &opts, &error)) {
        std::cerr << "zelt-sim: " << error << "\n" << programUsage();
        return 2;
    }
    if (opts.help) {
        std::cout << programUsage();
        return 0;
    }

    if (pipe(gSignalPipe) != 0) {
        std::perror("zelt-sim: pipe");
        return 1;
    }
    fcntl(gSignalPipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Simulator sim(opts.simulator);
    sim.setBehaviour(opts.behaviour);
    sim.setSupportedModel(opts.supportedModel);
    sim.setRegistration(
        opts.comNumber,
        [](int com, const std::string& path, std::string* err) { return zelt::registerPort(com, path, err); },
        [](int com) { zelt::unregisterPort(com); });
    if (!sim.start(&error)) {
        std::cerr << "zelt-sim: " << error << "\n";
        return 1;
    }
    std::cout << "zelt-sim: simulated logger on COM" << opts.comNumber << " (" << sim.devicePath() << ")"
              << std::endl;
    if (opts.printDevice)
        std::cout << sim.devicePath() << std::endl;

    // Started in the background of an interactive shell ("zelt simulate &"),
    // the terminal is not ours to read: control commands are taken only in
    // the foreground, or from a pipe or file.
    bool stdinOpen = !(::isatty(0) && ::tcgetpgrp(0) != ::getpgrp());
    bool quit = false;
    std::string pending;
    while (!quit) {
        pollfd fds[2] = {{gSignalPipe[0], POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents & POLLIN)
            break;
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buf[512];
            const ssize_t n = ::read(0, buf, sizeof buf);
            if (n <= 0) {
                stdinOpen = false;  // no controller: keep running until a signal
                continue;
            }
            pending.append(buf, static_cast<std::size_t>(n));
            for (std::size_t nl; !quit && (nl = pending.find('\n')) != std::string::npos;) {
                std::string line = pending.substr(0, nl);
                pending.erase(0, nl + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (line.find_first_not_of(" \t") == std::string::npos)
                    continue;
                std::cout << runControlCommand(sim, line, &quit) << std::endl;
            }
        }
    }
    sim.stop();  // also removes the registration
    return 0;
}

}  // namespace zelt::sim
