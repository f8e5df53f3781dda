// Micro-benchmarks of replace_all into an Output on /dev/null, each reporting
// the subject's bytes per second. BM_bytewise is the plain byte-at-a-time
// search, the yardstick for the adversarial case.
#include "replace.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace
{

// The largest operand Linux passes: 128 KiB less the terminator.
constexpr std::size_t max_operand = 131071;

struct Work {
    std::string subject, search, with;
};

std::string repeated(std::string_view text)
{
    std::string subject;
    while (subject.size() + text.size() <= max_operand)
        subject += text;
    return subject;
}

Work few_matches()
{
    return {repeated("the quick brown fox jumps over the lazy dog; the needle is here. "), "needle",
            "pin"};
}
Work every_byte()
{
    return {std::string(max_operand, 'a'), "a", "bb"};
}
Work every_few_bytes()
{
    return {repeated("the cat sat on the mat\n"), " ", "_"};
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
void replace_bytewise(std::string_view subject, std::string_view search, std::string_view with,
                      Output<char> &out)
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
        put(out, subject.data() + run, pos - run);
        put(out, with);
        pos += n;
        run = pos;
    }
    put(out, subject.data() + run, subject.size() - run);
}

template <Work (*make)(),
          void (*replace)(std::string_view, std::string_view, std::string_view, Output<char> &)>
void run(benchmark::State &state)
{
    const Work w = make();
    const int sink = open("/dev/null", O_WRONLY);
    std::string buffer(1 << 16, '\0');
    Output<char> out = open_output(sink, buffer.data(), buffer.size());
    for (auto _ : state) {
        replace(w.subject, w.search, w.with, out);
        benchmark::DoNotOptimize(flush(out));
    }
    (void)close(sink);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(w.subject.size()));
}

BENCHMARK(run<few_matches, replace_all>)->Name("replace_all/few_matches");
BENCHMARK(run<every_byte, replace_all>)->Name("replace_all/every_byte");
BENCHMARK(run<every_few_bytes, replace_all>)->Name("replace_all/every_few_bytes");
BENCHMARK(run<no_match, replace_all>)->Name("replace_all/no_match");
BENCHMARK(run<adversarial, replace_all>)
    ->Name("replace_all/adversarial")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(run<adversarial, replace_bytewise>)
    ->Name("bytewise/adversarial")
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
