#pragma once
// Steering the simulated logger from outside: the program's command-line
// flags, and the one-line text commands it reads on stdin so that a parent
// process (a test, a script) can pull the cable or switch a misbehaviour
// while the tool is talking to it.
#include "sim/Simulator.h"

#include <string>
#include <vector>

namespace zelt::sim {

struct ProgramOptions {
    int comNumber = 9;
    Options simulator;
    Behaviour behaviour;
    bool supportedModel = true;
    bool printDevice = false;  // also print the bare device path on its own line
    bool help = false;
};

// Parses the program's arguments (without the program name).
bool parseProgramArguments(const std::vector<std::string>& args, ProgramOptions* out, std::string* error);
std::string programUsage();

// Runs one control command line; returns the reply ("ok ..." or "error: ...").
// Sets *quit for "quit".
std::string runControlCommand(Simulator& sim, const std::string& line, bool* quit = nullptr);

}  // namespace zelt::sim
