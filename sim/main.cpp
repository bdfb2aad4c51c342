// zelt-sim: the simulated logger (see sim/Program.h).
#include "sim/Program.h"

int main(int argc, char** argv)
{
    return zelt::sim::runSimulatorProgram(std::vector<std::string>(argv + 1, argv + argc));
}
