// Standalone driver of the fuzz target where libFuzzer is not available:
//   fuzz_di8 FILE...                 runs each file once
//   fuzz_di8 --mutate SEED N [RNG]   runs N mutations of SEED (bit flips, byte runs, cuts)
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::string readAll(const char* path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void run(const std::string& bytes) { LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()); }

std::string mutate(std::string s, std::mt19937& rng)
{
    if (s.empty()) return s;
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    switch (pick(4)) {
    case 0:  // flip bits
        for (size_t i = 0, n = 1 + pick(16); i < n; ++i) s[pick(s.size())] ^= char(1 << pick(8));
        break;
    case 1: {  // overwrite a run with one byte value (0x00, 0xff or random)
        size_t at = pick(s.size()), len = 1 + pick(64);
        const char values[] = {'\0', '\xff', char(pick(256))};
        for (size_t i = at; i < at + len && i < s.size(); ++i) s[i] = values[pick(3)];
        break;
    }
    case 2:  // cut
        s.resize(pick(s.size()));
        break;
    default: {  // copy a page over another
        size_t pages = s.size() / 4096;
        if (pages > 1) s.replace(pick(pages) * 4096, 4096, s, pick(pages) * 4096, 4096);
        break;
    }
    }
    return s;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::string(argv[1]) == "--mutate") {
        std::string seed = readAll(argv[2]);
        long n = std::atol(argv[3]);
        std::mt19937 rng(argc > 4 ? unsigned(std::atol(argv[4])) : 1u);
        for (long i = 0; i < n; ++i) run(mutate(seed, rng));
        std::cout << n << " mutations of " << argv[2] << " read\n";
        return 0;
    }
    for (int i = 1; i < argc; ++i) run(readAll(argv[i]));
    return 0;
}
