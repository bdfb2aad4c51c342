// Replays a harness's corpus: every file of the folders (or the files) named
// on the command line is handed to LLVMFuzzerTestOneInput once, in name
// order. A broken property stops the run with a crash, as in the fuzzer; a
// run that finds no input at all fails, so an emptied corpus cannot pass.
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Harnesses without a set-up step of their own get this one.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path p(argv[i]);
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            for (const auto& entry : fs::directory_iterator(p))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else if (fs::is_regular_file(p, ec)) {
            inputs.push_back(p);
        } else {
            std::fprintf(stderr, "replay: no such file or folder: %s\n", argv[i]);
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "replay: no inputs\n");
        return 2;
    }
    LLVMFuzzerInitialize(&argc, &argv);
    for (const fs::path& p : inputs) {
        std::ifstream in(p, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", p.filename().c_str(), bytes.size());
        // An empty input is still handed on as an empty buffer the harness may read.
        static const std::uint8_t kNone = 0;
        const auto* data = bytes.empty() ? &kNone : reinterpret_cast<const std::uint8_t*>(bytes.data());
        LLVMFuzzerTestOneInput(data, bytes.size());
    }
    std::printf("replay: %zu inputs, every property held\n", inputs.size());
    return 0;
}
