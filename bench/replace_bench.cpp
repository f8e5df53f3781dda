// Micro-benchmarks of replace_all, each reporting the subject's bytes per
// second. BM_bytewise is the plain byte-at-a-time search, the yardstick for
// the adversarial case.
#include "strrepl.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace
{

// The largest operand Linux passes: 128 KiB less the terminator.
constexpr std::size_t max_operand = 131071;

struct Work {
    std::string subject, search, with;
};

Work few_matches()
{
    std::string subject;
    while (subject.size() + 64 <= max_operand)
        subject += "the quick brown fox jumps over the lazy dog; the needle is here. ";
    return {subject, "needle", "pin"};
}

Work every_byte()
{
    return {std::string(max_operand, 'a'), "a", "b"};
}
Work no_match()
{
    return {std::string(max_operand, 'a'), "b", "c"};
}
Work adversarial()
{
    return {std::string(max_operand, 'a'), std::string(65535, 'a') + 'b', "X"};
}

// Copies what it cannot match run by run, comparing one byte at a time.
bool replace_bytewise(std::string_view subject, std::string_view search, std::string_view with,
                      std::FILE *out)
{
    std::size_t run = 0;
    std::size_t pos = 0;
    while (pos < subject.size()) {
        std::size_t n = 0;
        while (n < search.size() && pos + n < subject.size() && subject[pos + n] == search[n])
            ++n;
        if (search.empty() || n < search.size()) {
            ++pos;
            continue;
        }
        (void)std::fwrite(subject.data() + run, 1, pos - run, out);
        (void)std::fwrite(with.data(), 1, with.size(), out);
        pos += n;
        run = pos;
    }
    (void)std::fwrite(subject.data() + run, 1, subject.size() - run, out);
    return std::ferror(out) == 0;
}

template <Work (*make)(),
          bool (*replace)(std::string_view, std::string_view, std::string_view, std::FILE *)>
void run(benchmark::State &state)
{
    const Work w = make();
    std::FILE *sink = std::fopen("/dev/null", "w");
    for (auto _ : state)
        benchmark::DoNotOptimize(replace(w.subject, w.search, w.with, sink));
    (void)std::fclose(sink);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(w.subject.size()));
}

BENCHMARK(run<few_matches, replace_all>)->Name("replace_all/few_matches");
BENCHMARK(run<every_byte, replace_all>)->Name("replace_all/every_byte");
BENCHMARK(run<no_match, replace_all>)->Name("replace_all/no_match");
BENCHMARK(run<adversarial, replace_all>)
    ->Name("replace_all/adversarial")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(run<adversarial, replace_bytewise>)
    ->Name("bytewise/adversarial")
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
