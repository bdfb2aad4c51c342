// zelt-sim: the simulated logger (see sim/Program.h).
#include "sim/Program.h"
#include "ZeltVersion.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("zelt-sim %s\n", ZELT_VERSION);
        return 0;
    }
    return zelt::sim::runSimulatorProgram(std::vector<std::string>(argv + 1, argv + argc));
}
