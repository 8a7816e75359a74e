// Runs a fuzz target without libFuzzer: every seed file given on the command line, then a
// fixed number of deterministic mutations of them (byte flips, insertions, truncations,
// splices), so a CI run is repeatable and bounded. Set PANELIX_FUZZ_RUNS to change the count.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<uint8_t> ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Mutate(std::vector<uint8_t>& input, const std::vector<std::vector<uint8_t>>& seeds,
            std::mt19937& random) {
    static const uint8_t kInteresting[] = {0,   1,   '0',  '1',  '9',  ',', '{', '}',  '=',  '%',
                                           '[', ']', '\r', '\n', '\t', ' ', '-', 0x7F, 0x80, 0xFF};
    const int steps = 1 + static_cast<int>(random() % 8);
    for (int s = 0; s < steps; ++s) {
        const size_t pos = input.empty() ? 0 : random() % (input.size() + 1);
        switch (random() % 6) {
            case 0:
                if (!input.empty() && pos < input.size())
                    input[pos] ^= 1u << (random() % 8);
                break;
            case 1:
                input.insert(input.begin() + static_cast<long>(pos),
                             kInteresting[random() % sizeof kInteresting]);
                break;
            case 2:
                if (pos < input.size())
                    input.erase(input.begin() + static_cast<long>(pos));
                break;
            case 3:
                input.resize(pos);
                break;
            case 4:
                if (pos < input.size())
                    input[pos] = kInteresting[random() % sizeof kInteresting];
                break;
            default: {
                const auto& other = seeds[random() % seeds.size()];
                if (!other.empty()) {
                    const size_t from = random() % other.size();
                    const size_t len = random() % (other.size() - from + 1);
                    input.insert(input.begin() + static_cast<long>(pos),
                                 other.begin() + static_cast<long>(from),
                                 other.begin() + static_cast<long>(from + len));
                }
                break;
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::vector<uint8_t>> seeds;
    for (int i = 1; i < argc; ++i) {
        seeds.push_back(ReadFile(argv[i]));
    }
    if (seeds.empty()) {
        seeds.emplace_back();
    }
    int runs = 20000;
    if (const char* env = std::getenv("PANELIX_FUZZ_RUNS")) {
        runs = std::atoi(env);
    }
    for (const auto& seed : seeds) {
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
    }
    std::mt19937 random(12345);
    for (int i = 0; i < runs; ++i) {
        std::vector<uint8_t> input = seeds[random() % seeds.size()];
        Mutate(input, seeds, random);
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::cout << "fuzz: " << runs + seeds.size() << " inputs, no fault\n";
    return 0;
}
