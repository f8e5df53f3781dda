// Runs the fuzz target once on each file named, for builds without libFuzzer.
#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        std::FILE *f = std::fopen(argv[i], "rb");
        if (f == nullptr) {
            std::perror(argv[i]);
            return 1;
        }
        std::vector<std::uint8_t> input;
        for (int c; (c = std::fgetc(f)) != EOF;)
            input.push_back(static_cast<std::uint8_t>(c));
        (void)std::fclose(f);
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%d inputs replayed\n", argc - 1);
    return 0;
}
