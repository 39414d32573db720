// A main for the coverage build: runs a fuzz target once on every file named, or on every file
// in a folder named, as libFuzzer would, so that a coverage report shows what a corpus reaches.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static void replay(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(data.data(), data.size());
}

int main(int argc, char **argv) {
    long runs = 0;
    for (int i = 1; i < argc; i++) {
        const std::filesystem::path path = argv[i];
        if (std::filesystem::is_directory(path)) {
            for (const auto &entry : std::filesystem::directory_iterator(path)) {
                if (!entry.is_regular_file()) continue;
                replay(entry.path());
                runs++;
            }
        } else {
            replay(path);
            runs++;
        }
    }
    printf("replayed %ld inputs\n", runs);
    return 0;
}
