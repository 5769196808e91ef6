// A fuzz target's corpus replayed in the normal test suite: its seeds and every
// input kept from a finding must run through the target without a fault, also
// without the fuzzing build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Only the targets that set something up once define it.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

// Named after the target (CORVANE_FUZZ_TARGET), so each replay has a name of its own.
TEST(FuzzCorpus, CORVANE_FUZZ_TARGET)
{
    if (LLVMFuzzerInitialize) {
        static char name[] = "corpus-replay";
        static char* arguments[] = {name, nullptr};
        int argc = 1;
        char** argv = arguments;
        LLVMFuzzerInitialize(&argc, &argv);
    }
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(CORVANE_FUZZ_CORPUS))
        inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    ASSERT_FALSE(inputs.empty()) << CORVANE_FUZZ_CORPUS;
    for (const std::filesystem::path& path : inputs) {
        // A broken property aborts the process: the last name printed is the input.
        std::cerr << "input " << path.filename().string() << std::endl;
        std::ifstream file(path, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
}
