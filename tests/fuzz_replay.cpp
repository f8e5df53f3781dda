// Runs the fuzz target once on each file named, for builds without libFuzzer.
// Each input runs in a process of its own, so that one the target fails on
// (it aborts, or a sanitizer stops it) is named here and the rest still run.
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char *argv[])
{
    int failed = 0;
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
        (void)std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            LLVMFuzzerTestOneInput(input.data(), input.size());
            std::exit(0); // through exit, so that LeakSanitizer looks
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || status != 0) {
            (void)std::fprintf(stderr, "fuzz_replay: fails on %s\n", argv[i]);
            ++failed;
        }
    }
    std::printf("%d inputs replayed, %d failed\n", argc - 1, failed);
    return failed == 0 ? 0 : 1;
}
