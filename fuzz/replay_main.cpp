// Runs every file under the given files or folders through a fuzz target's entry function, the
// way the fuzzer replays inputs, but in an ordinary build: the seeds and the saved regression
// inputs are checked by every test run, without clang. A crash, a sanitizer report or an exception
// other than the run's FatalError fails the run. Folders that do not exist are skipped.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    // Read before the first run, which makes the working folder and drops standard output.
    std::vector<fs::path> files;
    for (int a = 1; a < argc; ++a) {
        const fs::path p = fs::absolute(argv[a]);
        if (fs::is_directory(p)) {
            for (const auto& e : fs::recursive_directory_iterator(p))
                if (e.is_regular_file()) files.push_back(e.path());
        } else if (fs::is_regular_file(p)) {
            files.push_back(p);
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> inputs;
    for (const fs::path& f : files) {
        std::ifstream in(f, std::ios::binary);
        inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    for (size_t k = 0; k < inputs.size(); ++k) {
        std::fprintf(stderr, "%s\n", files[k].c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(inputs[k].data()), inputs[k].size());
    }
    std::fprintf(stderr, "replayed %zu inputs\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
