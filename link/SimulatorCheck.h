#pragma once
// The tool's side of the simulated logger's proof (see SimulatorProof.h):
// whatever a port is called, only the logger's answer on the line makes it
// the simulator.
#include <functional>

namespace zelt {

class ComPort;

// Asks the logger on the port the simulator's question and reads the answer
// straight from the port (the caller keeps the receive path off it
// meanwhile) until the answer, the end mark of another answer, the limit or
// a closed port. pause runs between looks at the port. True only for the
// simulator's answer to this very question.
bool askIfSimulator(ComPort& port, int limitMs, const std::function<void()>& pause);

}  // namespace zelt
