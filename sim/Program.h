#pragma once
// The simulated logger as a program: a simulated acceleration logger on a
// pseudo-terminal, registered as a COM port so the tool finds it like a real
// one. Runs until SIGINT or SIGTERM (or "quit" on standard input), which
// takes control commands, one per line. zelt-sim and "zelt simulate" run it.
#include <string>
#include <vector>

namespace zelt::sim {

// Runs with the program's arguments (without the program name); returns
// the exit code: 0 after a stop, 1 when the simulator cannot start, 2 on
// wrong usage.
int runSimulatorProgram(const std::vector<std::string>& args);

}  // namespace zelt::sim
